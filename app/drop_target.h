// File drops onto a control. TControlHook watches every event of one control (or of the window
// that holds it) through Qt's event filtering; TDropDst, built on it, accepts dragged local files
// and raises OnFileDrop with their names and the drop point.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "toolkit/errors.h"

class QDropEvent;
class QEvent;
class QWidget;

namespace pw {

class TDialogs;

// The hook target cannot be found: no window among the owners of the bound control.
class EHookError : public Exception { using Exception::Exception; };

enum THookTarget : std::uint8_t {
  htControl = 0,  // the bound control itself
  htForm = 1,     // the window that holds the bound control
};

enum THookNotifyReason { hnControlRemoved = 1, hnRehook = 2 };

class TControlHook : public QObject {
  Q_OBJECT

 public:
  // The owner (usually the window) frees the component with its other children.
  explicit TControlHook(QObject* owner);
  ~TControlHook() override;

  QWidget* Control() const { return control_; }
  // Unhooks, stores and hooks again; fails with EHookError when Target is htForm and no window
  // can be found.
  void SetControl(QWidget* control);
  THookTarget Target() const { return target_; }
  void SetTarget(THookTarget target);
  // The control whose events are watched now, or null.
  QWidget* HookedWnd() const { return hooked_; }

  // The end of the owner's set-up: binds again to the configured control.
  virtual void Loaded();
  // The control to watch: Control, or for htForm the first window among the owners of Control
  // (of this component when there is no Control); null when there is none.
  QWidget* GetTargetControl() const;

  // The default failure handler for failures inside event handling (none: printed as warnings).
  void SetFailureDialogs(TDialogs* dialogs) { failureDialogs_ = dialogs; }

 protected:
  // hnControlRemoved forgets the control; any other reason hooks again.
  virtual void HookNotify(THookNotifyReason reason);
  // Every event of the watched control; true when the event was handled here and must not
  // reach the control.
  virtual bool WndProc(QEvent* event);
  void SetHook(bool hook);
  // Told after every change of the watched control (either may be null).
  virtual void HookChanged(QWidget* unhooked, QWidget* hooked);
  // Runs an action; a failure goes to the default failure handler.
  void Guarded(const std::function<void()>& action);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RequestRehook();

  QWidget* control_ = nullptr;  // not owned; cleared when the control is destroyed
  QMetaObject::Connection controlRemoved_;
  THookTarget target_ = htControl;
  QPointer<QWidget> hooked_;
  TDialogs* failureDialogs_ = nullptr;
};

// Raised for every drop: the component, the dropped local file names in order, and the drop
// point in client coordinates of the watched control.
using TFileDropEvent = std::function<void(QObject* Sender, const QStringList& Files, int X, int Y)>;

class TDropDst : public TControlHook {
  Q_OBJECT

 public:
  explicit TDropDst(QObject* owner) : TControlHook(owner) {}

  bool AcceptDrop() const { return acceptDrop_; }
  void SetAcceptDrop(bool value);
  TFileDropEvent OnFileDrop;

  void Loaded() override;

 protected:
  void HookNotify(THookNotifyReason reason) override;
  bool WndProc(QEvent* event) override;
  // A rebinding moves the drop registration along: withdrawn from the old control, given to the new.
  void HookChanged(QWidget* unhooked, QWidget* hooked) override;

 private:
  // Registers the watched control for drops, or withdraws the registration.
  void UpdateAcceptDrop();
  void DoFileDrop(const QDropEvent& drop);

  bool acceptDrop_ = true;
};

}  // namespace pw
