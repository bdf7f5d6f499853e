#include "app/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>

namespace qa {

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

// A filter on the application object sees every event of the user-interface
// thread before its receiver does.
InputBlocker::InputBlocker() {
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  if (IsUserInput(event->type())) return true;  // dropped, not delivered later
  return QObject::eventFilter(watched, event);
}

}  // namespace qa
