#include "platform/menu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "platform/controls.h"

namespace vrn {

MenuItem::MenuItem(QObject* parent, const char* name, const QString& caption, QAction* action)
    : QObject(parent), action_(action) {
  setObjectName(QString::fromLatin1(name));
  action_->setText(caption);
  connect(action_, &QAction::triggered, this, [this] { emit Click(); });
}

// Captions are shown as written: "&" is not a mnemonic marker here.
static QString shown(const QString& c) { return QString(c).replace("&", "&&"); }
static QString unshown(const QString& c) { return QString(c).replace("&&", "&"); }

QString MenuItem::Caption() const { return unshown(action_->text()); }
void MenuItem::setCaption(const QString& c) { action_->setText(shown(c)); }
bool MenuItem::Enabled() const { return action_->isEnabled(); }
void MenuItem::setEnabled(bool on) { action_->setEnabled(on); }
bool MenuItem::Visible() const { return action_->isVisible(); }
void MenuItem::setVisible(bool on) { action_->setVisible(on); }

Menu::Menu(QObject* parent, const char* name, const QString& caption) : QObject(parent), menu_(new QMenu) {
  setObjectName(QString::fromLatin1(name));
  menu_->setTitle(shown(caption));
  menu_->setObjectName(objectName());
}

Menu::~Menu() { delete menu_; }

MenuItem* Menu::addItem(const char* name, const QString& caption, const QIcon& icon) {
  QAction* a = menu_->addAction(icon, shown(caption));
  return new MenuItem(this, name, caption, a);
}

Menu* Menu::addSubMenu(const char* name, const QString& caption, const QIcon& icon) {
  auto* sub = new Menu(this, name, caption);
  sub->menu_->setIcon(icon);
  menu_->addMenu(sub->menu_);
  return sub;
}

void Menu::addSeparator(const char* name) {
  QAction* a = menu_->addSeparator();
  if (name) a->setObjectName(QString::fromLatin1(name));
}

QStringList Menu::captions() const {
  QStringList out;
  for (QAction* a : menu_->actions()) out << (a->isSeparator() ? QStringLiteral("-") : unshown(a->text()));
  return out;
}

std::function<void(Menu*, int, int)>& Menu::popupHook() {
  static std::function<void(Menu*, int, int)> hook;
  return hook;
}

void Menu::popup(QWidget* owner, int xTwips, int yTwips) {
  if (popupHook()) {
    popupHook()(this, xTwips, yTwips);
    return;
  }
  const QPoint local(toPixels(xTwips), toPixels(yTwips));
  menu_->exec(owner ? owner->mapToGlobal(local) : local);
}

}  // namespace vrn
