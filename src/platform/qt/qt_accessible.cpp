#include "platform/qt/qt_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <cstdlib>
#include <string>

#include "forms/keyboard.h"

namespace quildor::qt {

using forms::Control;
using forms::ControlKind;

namespace {

// The number a value text starts with ("60 Seconds" is 60; 0 for none).
double ValueNumber(const std::string& text) { return std::atof(text.c_str()); }

// The spin button as assistive technology sees it: a spin box named by its tooltip, with no
// children of its own (the arrows are part of it), whose value is its value panel's caption, as
// text and as the number it starts with.
class SpinAccessible : public QAccessibleWidget,
                       public QAccessibleValueInterface,
                       public QAccessibleTextInterface {
 public:
  SpinAccessible(QWidget* w, FormHost& form, const Control& c)
      : QAccessibleWidget(w, QAccessible::SpinBox), form_(form), c_(c) {}

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return QString::fromStdString(forms::AccessibleName(c_));
    if (t == QAccessible::Value) return Shown();
    if (t == QAccessible::Description) return QString();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QVariant currentValue() const override { return ValueNumber(Shown().toStdString()); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return QVariant(); }
  QVariant minimumValue() const override { return QVariant(); }
  QVariant minimumStepSize() const override { return QVariant(); }

  // The text: the value panel's caption, read only, with no selection.
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override { return Shown().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Shown().size()); }
  QRect characterRect(int) const override { return QRect(); }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = *end = 0;
    return QString();
  }

 private:
  QString Shown() const {
    return QString::fromStdString(forms::AccessibleValue(form_.form(), c_).value_or(""));
  }
  FormHost& form_;
  const Control& c_;
};

// A label as assistive technology sees it: static text, named by its caption.
class LabelAccessible : public QAccessibleWidget {
 public:
  LabelAccessible(QWidget* w, const Control& c) : QAccessibleWidget(w, QAccessible::StaticText),
                                                   c_(c) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return QString::fromStdString(c_.Caption());
    return QAccessibleWidget::text(t);
  }

 private:
  const Control& c_;
};

// Qt asks this for every object it has no accessible interface of its own for; it answers for
// the forms' windows and their spin buttons and labels.
QAccessibleInterface* AccessibleFactory(const QString&, QObject* object) {
  // A form's window: a dialog when it has a frame, named by its title as any window is.
  auto* w = qobject_cast<QWidget*>(object);
  if (!w) return nullptr;
  // The message box drawn inside the slide show: an alert, as a separate box would be, named by
  // its title, with its message as its description.
  if (!w->isWindow() && w->objectName() == QLatin1String("QuildorMessageBox")) {
    return new QAccessibleWidget(w, QAccessible::AlertMessage);
  }
  if (auto* form = dynamic_cast<FormHost*>(object)) {
    return new QAccessibleWidget(
        w, form->form().design().frameless ? QAccessible::Window : QAccessible::Dialog);
  }
  auto* view = dynamic_cast<ControlWidget*>(object);
  if (!view) return nullptr;
  switch (view->control().Kind()) {
    case ControlKind::SpinButton: return new SpinAccessible(w, view->form(), view->control());
    case ControlKind::Label: return new LabelAccessible(w, view->control());
    default: return nullptr;
  }
}

}  // namespace

void AnnounceValue(FormHost& form, const Control& spin) {
  QWidget* w = form.ControlWidget(spin);
  if (!w || !QAccessible::isActive()) return;
  const std::string shown = forms::AccessibleValue(form.form(), spin).value_or("");
  QAccessibleValueChangeEvent value(w, ValueNumber(shown));
  QAccessible::updateAccessibility(&value);
  QAccessibleTextUpdateEvent text(w, 0, QString(), QString::fromStdString(shown));
  QAccessible::updateAccessibility(&text);
}

void InstallAccessibleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(AccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace quildor::qt
