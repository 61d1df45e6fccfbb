#include "app/drop_target.h"

#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "app/app_messages.h"
#include "app/failure.h"

namespace pw {

namespace {

QStringList LocalFiles(const QMimeData* data) {
  QStringList files;
  if (data == nullptr) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  return files;
}

// Dropped files are only read: a drop is taken as a copy, never as a move, so that the source
// never deletes its file after the drop.
bool OffersCopy(const QDropEvent& drop) { return (drop.possibleActions() & Qt::CopyAction) != 0; }

void AcceptAsCopy(QDropEvent& drop) {
  drop.setDropAction(Qt::CopyAction);
  drop.accept();
}

// The native window was destroyed; the control will be given a new one.
bool IsWindowDestruction(const QObject* watched, const QEvent* event) {
  return event->type() == QEvent::WinIdChange && static_cast<const QWidget*>(watched)->internalWinId() == 0;
}

}  // namespace

TControlHook::TControlHook(QObject* owner) : QObject(owner) {}

TControlHook::~TControlHook() { SetHook(false); }

void TControlHook::SetControl(QWidget* control) {
  SetHook(false);
  disconnect(controlRemoved_);
  control_ = control;
  if (control_ != nullptr)
    controlRemoved_ = connect(control_, &QObject::destroyed, this, [this] { HookNotify(hnControlRemoved); });
  SetHook(true);
}

void TControlHook::SetTarget(THookTarget target) {
  SetHook(false);
  target_ = target;
  SetHook(true);
}

void TControlHook::Loaded() { SetControl(control_); }

QWidget* TControlHook::GetTargetControl() const {
  if (target_ == htControl) return control_;
  for (QObject* owner = control_ != nullptr ? static_cast<QObject*>(control_) : parent(); owner != nullptr;
       owner = owner->parent()) {
    auto* widget = qobject_cast<QWidget*>(owner);
    if (widget != nullptr && widget->isWindow()) return widget;
  }
  return nullptr;
}

void TControlHook::SetHook(bool hook) {
  if (!hook) {
    QWidget* unhooked = hooked_;
    if (unhooked != nullptr && unhooked == GetTargetControl()) unhooked->removeEventFilter(this);
    hooked_ = nullptr;
    if (unhooked != nullptr) HookChanged(unhooked, nullptr);
    return;
  }
  QWidget* target = GetTargetControl();
  if (target == nullptr) {
    if (target_ == htForm) throw EHookError(app_msg::kNoHookTarget);
    return;
  }
  hooked_ = target;
  target->installEventFilter(this);
  HookChanged(nullptr, target);
}

void TControlHook::HookChanged(QWidget*, QWidget*) {}

void TControlHook::HookNotify(THookNotifyReason reason) {
  if (reason == hnControlRemoved) {
    control_ = nullptr;
    return;
  }
  SetHook(true);
}

bool TControlHook::WndProc(QEvent*) { return false; }

void TControlHook::Guarded(const std::function<void()>& action) {
  if (failureDialogs_ != nullptr) {
    RunGuarded(*failureDialogs_, action);
    return;
  }
  try {
    action();
  } catch (const std::exception& failure) {
    qWarning("%s", FailureText(failure.what()).c_str());
  }
}

// The re-hook waits until the current event is handled and the control has its new window.
void TControlHook::RequestRehook() {
  QMetaObject::invokeMethod(this, [this] { Guarded([this] { HookNotify(hnRehook); }); }, Qt::QueuedConnection);
}

bool TControlHook::eventFilter(QObject* watched, QEvent* event) {
  if (watched != hooked_) return QObject::eventFilter(watched, event);
  if (IsWindowDestruction(watched, event)) {
    RequestRehook();
    SetHook(false);
  }
  return WndProc(event);
}

void TDropDst::SetAcceptDrop(bool value) {
  if (value == acceptDrop_) return;
  acceptDrop_ = value;
  UpdateAcceptDrop();
}

void TDropDst::Loaded() {
  TControlHook::Loaded();
  UpdateAcceptDrop();
}

void TDropDst::HookNotify(THookNotifyReason reason) {
  TControlHook::HookNotify(reason);
  UpdateAcceptDrop();
}

void TDropDst::HookChanged(QWidget* unhooked, QWidget* hooked) {
  if (unhooked != nullptr) unhooked->setAcceptDrops(false);
  if (hooked != nullptr) hooked->setAcceptDrops(acceptDrop_);
}

void TDropDst::UpdateAcceptDrop() {
  if (HookedWnd() != nullptr) HookedWnd()->setAcceptDrops(acceptDrop_);
}

bool TDropDst::WndProc(QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!acceptDrop_ || !OffersCopy(*drag) || LocalFiles(drag->mimeData()).isEmpty())
        return TControlHook::WndProc(event);
      AcceptAsCopy(*drag);
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!acceptDrop_ || !OffersCopy(*drop)) return TControlHook::WndProc(event);
      AcceptAsCopy(*drop);
      Guarded([&] { DoFileDrop(*drop); });
      return true;  // handled here; the control never sees the drop
    }
    default:
      return TControlHook::WndProc(event);
  }
}

void TDropDst::DoFileDrop(const QDropEvent& drop) {
  if (!OnFileDrop) return;
  const QStringList files = LocalFiles(drop.mimeData());
  if (files.isEmpty()) return;
  const QPoint point = drop.position().toPoint();
  OnFileDrop(this, files, point.x(), point.y());
}

}  // namespace pw
