#include "tests/testing/windowsnapshot.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QPointer>
#include <algorithm>

#include "platform/form.h"
#include "platform/listview.h"
#include "platform/menu.h"
#include "platform/testservices.h"

namespace vrn::testing {

namespace {

QString yesNo(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }

QString iconKey(const QIcon& icon) { return icon.isNull() ? QStringLiteral("none") : QString::number(icon.cacheKey()); }

// Items of a list as one text; a separator no item is likely to hold.
QString joined(const QStringList& items) { return items.join(QStringLiteral(" | ")); }

// Rows can be many: the count and a digest of every cell, tick and icon.
QString rowsOf(const ListView* list) {
  QCryptographicHash hash(QCryptographicHash::Sha1);
  for (int r = 1; r <= list->Count(); ++r) {
    QString row = list->Text(r);
    for (int k = 1; k < list->ColumnCount(); ++k) row += QChar(0x1f) + list->SubItem(r, k);
    row += QChar(0x1e) + yesNo(list->Checked(r)) + QString::number(list->SmallIcon(r)) + QChar(0x1d);
    hash.addData(row.toUtf8());
  }
  const QString digest = QString::fromLatin1(hash.result().toHex().left(12));
  return QStringLiteral("%1 rows, digest %2").arg(list->Count()).arg(digest);
}

void addControl(QMap<QString, QString>& p, const Control* c) {
  p["Visible"] = yesNo(c->Visible());
  p["Enabled"] = yesNo(c->Enabled());
  p["ToolTipText"] = c->ToolTipText();
  p["Left"] = QString::number(c->Left());
  p["Top"] = QString::number(c->Top());
  p["Width"] = QString::number(c->Width());
  p["Height"] = QString::number(c->Height());
}

// The properties of one object, or none when it is no control.
QMap<QString, QString> propertiesOf(QObject* o) {
  QMap<QString, QString> p;
  if (auto* c = dynamic_cast<Control*>(o)) addControl(p, c);
  if (auto* l = qobject_cast<Label*>(o)) {
    p["Caption"] = l->Caption();
    p["ForeColor"] = l->palette().color(QPalette::WindowText).name();
    p["BackColor"] = l->autoFillBackground() ? l->palette().color(QPalette::Window).name() : QStringLiteral("none");
  } else if (auto* t = qobject_cast<TextBox*>(o)) {
    p["Text"] = t->Text();
  } else if (auto* b = qobject_cast<CheckBox*>(o)) {
    p["Value"] = QString::number(b->Value());
    p["Caption"] = b->text();
  } else if (auto* cb = qobject_cast<ComboBox*>(o)) {
    QStringList items;
    for (int i = 0; i < cb->ListCount(); ++i) items << cb->List(i);
    p["List"] = joined(items);
    p["ListIndex"] = QString::number(cb->ListIndex());
    p["Text"] = cb->Text();
  } else if (auto* cl = qobject_cast<CheckListBox*>(o)) {
    QStringList items, ticks;
    for (int i = 0; i < cl->ListCount(); ++i) {
      items << cl->List(i);
      ticks << (cl->Selected(i) ? QStringLiteral("1") : QStringLiteral("0"));
    }
    p["List"] = joined(items);
    p["Selected"] = ticks.join(QString());
  } else if (auto* f = qobject_cast<FileListBox*>(o)) {
    QStringList items;
    for (int i = 0; i < f->ListCount(); ++i) items << f->List(i);
    p["Path"] = f->Path();
    p["Pattern"] = f->Pattern();
    p["List"] = joined(items);
  } else if (auto* pic = qobject_cast<PictureBox*>(o)) {
    p["Picture"] = iconKey(pic->Picture());
  } else if (auto* s = qobject_cast<Shape*>(o)) {
    p["Colors"] = s->styleSheet();
  } else if (auto* mb = qobject_cast<MyButton*>(o)) {
    p["Caption"] = mb->Caption();
  } else if (auto* mf = qobject_cast<MyFrame*>(o)) {
    p["Caption"] = mf->Caption();
  } else if (auto* lv = qobject_cast<ListView*>(o)) {
    p["Count"] = QString::number(lv->Count());
    p["Rows"] = rowsOf(lv);
    QStringList columns, widths;
    for (int k = 1; k <= lv->ColumnCount(); ++k) {
      columns << lv->ColumnCaption(k);
      widths << QString::number(lv->ColumnWidth(k));
    }
    p["Columns"] = joined(columns);
    p["ColumnWidths"] = widths.join(' ');
    p["View"] = QString::number(lv->View());
    p["Sorted"] = yesNo(lv->Sorted());
    p["SortKey"] = QString::number(lv->SortKey());
    p["SortOrder"] = QString::number(lv->SortOrder());
    p["SelectedIndex"] = QString::number(lv->SelectedIndex());
    p["RowColors"] =
        QStringLiteral("%1 %2").arg(lv->RowColor(1), 6, 16, QChar('0')).arg(lv->RowColor(2), 6, 16, QChar('0'));
  } else if (auto* timer = qobject_cast<Timer*>(o)) {
    p["Enabled"] = yesNo(timer->Enabled());
    p["Interval"] = QString::number(timer->Interval());
  } else if (auto* item = qobject_cast<MenuItem*>(o)) {
    p["Caption"] = item->Caption();
    p["Enabled"] = yesNo(item->Enabled());
    p["Visible"] = yesNo(item->Visible());
  } else if (auto* images = qobject_cast<ImageList*>(o)) {
    QStringList keys;
    for (int i = 1; i <= images->Count(); ++i) keys << iconKey(images->Image(i));
    p["Images"] = keys.join(' ');
  }
  return p;
}

// Every control under `parent`, other windows left out.
void collect(QObject* parent, WindowState& state) {
  for (QObject* child : parent->children()) {
    if (qobject_cast<Form*>(child)) continue;
    QMap<QString, QString> p = propertiesOf(child);
    if (!p.isEmpty()) {
      QString name = child->objectName().isEmpty() ? QStringLiteral("(%1)").arg(child->metaObject()->className())
                                                   : child->objectName();
      // Names are unique in a designed window; a repeated one is told apart.
      for (int n = 2; state.contains(name); ++n) name = child->objectName() + QStringLiteral("#%1").arg(n);
      state.insert(name, p);
    }
    collect(child, state);
  }
}

void addServices(const TestServices& svc, WindowState& state) {
  QStringList boxes, saves;
  for (const ShownBox& b : svc.dialogs.boxes) boxes << QStringLiteral("[%1] %2: %3").arg(b.style).arg(b.title, b.text);
  for (const TestDialogs::SaveCall& s : svc.dialogs.saveCalls)
    saves << QStringLiteral("%1 in %2 as %3").arg(s.title, s.startFolder, s.proposedName);
  state["Dialogs"] = {
      {"Boxes", joined(boxes)}, {"BrowserTitles", joined(svc.dialogs.browserTitles)}, {"SaveCalls", joined(saves)}};
  state["Shell"] = {{"Opened", joined(svc.shell.opened)},
                    {"Pages", joined(svc.shell.pages)},
                    {"ShownItems", joined(svc.shell.shownItems)}};
  state["Audio"] = {{"Plays", QString::number(svc.audio.plays)}};
  QStringList values;
  for (auto it = svc.registry.values.begin(); it != svc.registry.values.end(); ++it)
    values << it.key() + QStringLiteral(" = ") + it.value();
  state["Registry"] = {{"Values", joined(values)}};
}

// A value as a failure shows it: quoted, on one line, and when long, from a
// little before where it first differs from `other`.
QString shown(const QString& value, const QString& other) {
  qsizetype from = 0;
  while (from < value.size() && from < other.size() && value[from] == other[from]) ++from;
  from = value.size() > 160 ? std::max<qsizetype>(0, from - 40) : 0;
  QString s = value.mid(from);
  if (s.size() > 160) s = s.left(157) + QStringLiteral("...");
  if (from > 0) s = QStringLiteral("...") + s;
  s.replace('\n', QStringLiteral("\\n"));
  return '"' + s + '"';
}

bool allows(const QList<Change>& allowed, const QString& control, const QString& property) {
  for (const Change& c : allowed)
    if (c.control == control && (c.property == QLatin1String("*") || c.property == property)) return true;
  return false;
}

}  // namespace

WindowSnapshot snapshotOf(Form* window, const TestServices* services, std::function<void(WindowState&)> extra) {
  WindowSnapshot shot;
  shot.window = window->Name();
  WindowState& state = shot.state;
  collect(window, state);
  QStringList others;
  for (Form* f : Form::Forms())
    if (f != window) others << QStringLiteral("%1 \"%2\" state %3").arg(f->Name(), f->Caption()).arg(f->WindowState());
  state[window->Name()] = {{"Caption", window->Caption()},
                           {"Left", QString::number(window->Left())},
                           {"Top", QString::number(window->Top())},
                           {"Width", QString::number(window->Width())},
                           {"Height", QString::number(window->Height())},
                           {"WindowState", QString::number(window->WindowState())},
                           {"MousePointer", QString::number(window->MousePointer())},
                           {"Visible", yesNo(window->isVisible())},
                           {"OtherWindows", joined(others)}};
  if (services) addServices(*services, state);
  if (extra) extra(state);
  QPointer<Form> alive(window);
  shot.retake = [alive, services, extra]() -> WindowSnapshot {
    if (!alive) return {};
    return snapshotOf(alive.data(), services, extra);
  };
  return shot;
}

QStringList unexpectedChanges(const WindowState& before, const WindowState& after, const QList<Change>& allowed) {
  QStringList lines;
  QStringList controls = before.keys();
  for (const QString& c : after.keys())
    if (!before.contains(c)) controls << c;
  for (const QString& control : controls) {
    const bool was = before.contains(control), is = after.contains(control);
    if (!was || !is) {
      if (!allows(allowed, control, QStringLiteral("*")))
        lines << QStringLiteral("%1: %2").arg(control, was ? QStringLiteral("gone") : QStringLiteral("appeared"));
      continue;
    }
    const QMap<QString, QString>& a = before[control];
    const QMap<QString, QString>& b = after[control];
    for (auto it = a.begin(); it != a.end(); ++it) {
      const QString now = b.value(it.key());
      if (now != it.value() && !allows(allowed, control, it.key()))
        lines
            << QStringLiteral("%1.%2: %3 -> %4").arg(control, it.key(), shown(it.value(), now), shown(now, it.value()));
    }
  }
  // A name that matches nothing is a test out of step with its window.
  for (const Change& c : allowed) {
    const bool control = before.contains(c.control) || after.contains(c.control);
    const bool property = c.property == QLatin1String("*") || before.value(c.control).contains(c.property) ||
                          after.value(c.control).contains(c.property);
    if (!control) lines << QStringLiteral("%1: named as changed, but the window has no such control").arg(c.control);
    else if (!property)
      lines
          << QStringLiteral("%1.%2: named as changed, but the control has no such property").arg(c.control, c.property);
  }
  return lines;
}

void expectOnlyChanged(const WindowSnapshot& before, const QList<Change>& allowed, std::source_location where) {
  if (!before.retake) {
    ADD_FAILURE_AT(where.file_name(), int(where.line())) << "no picture was taken before";
    return;
  }
  expectOnlyChanged(before, before.retake(), allowed, where);
}

void expectOnlyChanged(const WindowSnapshot& before, const WindowSnapshot& after, const QList<Change>& allowed,
                       std::source_location where) {
  if (after.window.isEmpty()) {
    ADD_FAILURE_AT(where.file_name(), int(where.line())) << "the window " << before.window.toStdString() << " is gone";
    return;
  }
  const QStringList lines = unexpectedChanges(before.state, after.state, allowed);
  if (lines.isEmpty()) return;
  ADD_FAILURE_AT(where.file_name(), int(where.line()))
      << "unexpected change in the window " << before.window.toStdString() << ":\n  "
      << lines.join(QStringLiteral("\n  ")).toStdString();
}

}  // namespace vrn::testing
