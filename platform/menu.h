#pragma once
// Pop-up menus: items with captions, enabled state, separators, sub-menus and
// a small picture each, popped at window coordinates in twips.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace vrn {

class MenuItem : public QObject {
  Q_OBJECT
 public:
  MenuItem(QObject* parent, const char* name, const QString& caption, QAction* action);
  QString Caption() const;
  void setCaption(const QString& c);
  bool Enabled() const;
  void setEnabled(bool on);
  bool Visible() const;
  void setVisible(bool on);
  void click() { emit Click(); }
  QAction* action() const { return action_; }
 signals:
  void Click();

 private:
  QAction* action_;
};

class Menu : public QObject {
  Q_OBJECT
 public:
  Menu(QObject* parent, const char* name, const QString& caption = QString());
  ~Menu() override;
  MenuItem* addItem(const char* name, const QString& caption, const QIcon& icon = QIcon());
  Menu* addSubMenu(const char* name, const QString& caption, const QIcon& icon = QIcon());
  void addSeparator(const char* name = nullptr);
  QStringList captions() const;  // in order, "-" for a separator
  QMenu* qmenu() const { return menu_; }

  // Pops the menu with its top-left corner at (x, y) twips in owner's client
  // area. Tests install a hook that records the call instead of showing it.
  void popup(QWidget* owner, int xTwips, int yTwips);
  static std::function<void(Menu*, int, int)>& popupHook();

 private:
  QMenu* menu_;
};

}  // namespace vrn
