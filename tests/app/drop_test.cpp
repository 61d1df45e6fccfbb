// The file drop target, with synthetic drag-and-drop events, and the window's drop on the
// system-graphic box.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <stdexcept>

#include "app/application.h"
#include "app/drop_target.h"
#include "app/form1.h"
#include "app/image_control.h"
#include "resources/resources.h"
#include "scripted_dialogs.h"
#include "test_support.h"

using namespace pw;

namespace {

struct TDropRecord {
  int calls = 0;
  QObject* sender = nullptr;
  QStringList files;
  QPoint point;
};

// Drags files over target and drops them at pos; true when the drag was accepted.
bool DropFiles(QWidget& target, const QStringList& files, QPoint pos) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  mime.setUrls(urls);
  QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QCoreApplication::sendEvent(&target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  drop.ignore();
  QCoreApplication::sendEvent(&target, &drop);
  return drop.isAccepted();
}

}  // namespace

class TestDrop : public QObject {
  Q_OBJECT

 private:
  TProgramFormats formats_;
  std::unique_ptr<QTemporaryDir> dir_;
  QStringList files_;

  // A window with one control that a drop target is bound to.
  struct Bench {
    QWidget window;
    QWidget* control;  // owned by window
    TScriptedDialogs dialogs;
    TDropRecord record;
    std::unique_ptr<TDropDst> drop;
    Bench() : control(new QWidget(&window)) {
      control->setGeometry(10, 20, 100, 80);
      window.resize(200, 150);
      drop = std::make_unique<TDropDst>(&window);
      drop->SetFailureDialogs(&dialogs);
      drop->SetControl(control);
      drop->OnFileDrop = [this](QObject* sender, const QStringList& files, int x, int y) {
        ++record.calls;
        record.sender = sender;
        record.files = files;
        record.point = QPoint(x, y);
      };
      drop->Loaded();
      window.show();
    }
  };

 private slots:
  void initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    for (const resources::SampleSkin& skin : resources::SampleSkins()) {
      const QString path = dir_->filePath(QString::fromLatin1(skin.name.data(), skin.name.size()) + ".bmp");
      WriteFileBytes(path.toStdString(), skin.bmp);
      files_ << path;
    }
    QVERIFY(files_.size() >= 3);
  }

  void dropsReportFilesInOrderAndThePoint() {
    Bench bench;
    QVERIFY(bench.control->acceptDrops());
    QCOMPARE(bench.drop->HookedWnd(), bench.control);
    QVERIFY(DropFiles(*bench.control, files_.mid(0, 1), QPoint(30, 40)));
    QCOMPARE(bench.record.calls, 1);
    QCOMPARE(bench.record.files, files_.mid(0, 1));
    QCOMPARE(bench.record.point, QPoint(30, 40));
    QCOMPARE(bench.record.sender, bench.drop.get());
    QVERIFY(DropFiles(*bench.control, files_.mid(0, 3), QPoint(5, 6)));
    QCOMPARE(bench.record.calls, 2);
    QCOMPARE(bench.record.files, files_.mid(0, 3));
    QCOMPARE(bench.record.point, QPoint(5, 6));
  }

  // Dropped files are only read: the drop is always taken as a copy, so the source never
  // deletes its file; a drag that offers no copy is refused.
  void dropIsTakenOnlyAsACopy_data() {
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("proposed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("copy") << int(Qt::CopyAction) << int(Qt::CopyAction) << true;
    QTest::newRow("move proposed, copy offered") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::MoveAction)
                                                 << true;
    QTest::newRow("copy, move or link") << int(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
                                        << int(Qt::LinkAction) << true;
    QTest::newRow("move only") << int(Qt::MoveAction) << int(Qt::MoveAction) << false;
    QTest::newRow("link only") << int(Qt::LinkAction) << int(Qt::LinkAction) << false;
  }
  void dropIsTakenOnlyAsACopy() {
    QFETCH(int, offered);
    QFETCH(int, proposed);
    QFETCH(bool, accepted);
    Bench bench;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(files_[0])});
    const auto actions = Qt::DropActions(offered);
    QDragEnterEvent enter(QPoint(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::DropAction(proposed));
    enter.ignore();
    QCoreApplication::sendEvent(bench.control, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(QPointF(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::DropAction(proposed));
    drop.ignore();
    QCoreApplication::sendEvent(bench.control, &drop);
    QCOMPARE(drop.isAccepted(), accepted);
    QCOMPARE(bench.record.calls, accepted ? 1 : 0);
    if (accepted) {
      QCOMPARE(enter.dropAction(), Qt::CopyAction);
      QCOMPARE(drop.dropAction(), Qt::CopyAction);
    }
  }

  void dropWithoutHandlerIsIgnored() {
    Bench bench;
    bench.drop->OnFileDrop = nullptr;
    QVERIFY(DropFiles(*bench.control, files_, QPoint(1, 1)));  // taken and released, nothing raised
    QCOMPARE(bench.record.calls, 0);
  }

  void dragsWithoutLocalFilesAreRefused() {
    Bench bench;
    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(bench.control, &enter);
    QVERIFY(!enter.isAccepted());
  }

  void acceptDropFalseRefusesDrops() {
    Bench bench;
    bench.drop->SetAcceptDrop(false);
    QVERIFY(!bench.control->acceptDrops());
    QVERIFY(!DropFiles(*bench.control, files_, QPoint(1, 1)));
    QCOMPARE(bench.record.calls, 0);
    bench.drop->SetAcceptDrop(true);
    QVERIFY(bench.control->acceptDrops());
    QVERIFY(DropFiles(*bench.control, files_, QPoint(1, 1)));
    QCOMPARE(bench.record.calls, 1);
  }

  void failingHandlerIsReportedAndLaterDropsWork() {
    Bench bench;
    int calls = 0;
    bench.drop->OnFileDrop = [&](QObject*, const QStringList&, int, int) {
      if (++calls == 1) throw std::runtime_error("Handler failed");
    };
    QVERIFY(DropFiles(*bench.control, files_, QPoint(1, 1)));
    QCOMPARE(bench.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(bench.dialogs.boxes[0].text, std::string("Handler failed."));
    QCOMPARE(bench.dialogs.boxes[0].caption, std::string("Panelwright"));
    QCOMPARE(bench.drop->HookedWnd(), bench.control);
    QVERIFY(DropFiles(*bench.control, files_, QPoint(1, 1)));
    QCOMPARE(calls, 2);
    QCOMPARE(bench.dialogs.boxes.size(), std::size_t{1});
  }

  void formTargetHooksTheWindow() {
    Bench bench;
    bench.drop->SetTarget(htForm);
    QCOMPARE(bench.drop->GetTargetControl(), &bench.window);
    QCOMPARE(bench.drop->HookedWnd(), &bench.window);
    bench.drop->SetAcceptDrop(false);
    bench.drop->SetAcceptDrop(true);  // registration follows AcceptDrop changes
    QVERIFY(bench.window.acceptDrops());
    QVERIFY(DropFiles(bench.window, files_.mid(1, 1), QPoint(150, 120)));
    QCOMPARE(bench.record.point, QPoint(150, 120));
    QVERIFY(!bench.control->acceptDrops());  // the registration moved with the hook
    // A drop on the control goes on to its window, in the window's client coordinates.
    QVERIFY(DropFiles(*bench.control, files_, QPoint(1, 1)));
    QCOMPARE(bench.record.point, QPoint(11, 21));
  }

  void formTargetWithoutWindowFails() {
    QObject owner;
    TDropDst drop(&owner);
    try {
      drop.SetTarget(htForm);
      QFAIL("no failure");
    } catch (const EHookError& e) {
      QCOMPARE(QString::fromUtf8(e.what()), QString("フック先を特定できません。"));
    }
    QVERIFY(drop.HookedWnd() == nullptr);
    drop.SetTarget(htControl);  // without a control: binds nothing, reports nothing
    QVERIFY(drop.HookedWnd() == nullptr);
  }

  void rebindsWhenTheNativeWindowIsRecreated() {
    QWidget window;
    window.resize(120, 90);
    TScriptedDialogs dialogs;
    int calls = 0;
    TDropDst drop(&window);
    drop.SetFailureDialogs(&dialogs);
    drop.SetControl(&window);
    drop.OnFileDrop = [&](QObject*, const QStringList&, int, int) { ++calls; };
    drop.Loaded();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const WId before = window.winId();
    window.setWindowFlags(window.windowFlags() | Qt::Tool);  // destroys the native window
    QVERIFY(drop.HookedWnd() == nullptr);                    // unhooked; the re-hook is pending
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QVERIFY(window.winId() != before || window.internalWinId() != 0);
    QCOMPARE(drop.HookedWnd(), &window);
    QVERIFY(window.acceptDrops());
    QVERIFY(DropFiles(window, files_, QPoint(3, 3)));
    QCOMPARE(calls, 1);
    QVERIFY(dialogs.boxes.empty());
  }

  void unbindsWhenTheControlIsDestroyed() {
    Bench bench;
    bench.control->deleteLater();  // a control freed by its window
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(bench.drop->Control() == nullptr);
    QVERIFY(bench.drop->HookedWnd() == nullptr);
    QCoreApplication::processEvents();  // a pending re-hook finds nothing to hook
    QVERIFY(bench.drop->HookedWnd() == nullptr);
    QVERIFY(bench.dialogs.boxes.empty());
  }

  void windowLoadsTheFirstDroppedFile() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* box = Control<QGroupBox>(form, "GroupBox_Sys");
    QCOMPARE(form.DropDst1().HookedWnd(), box);
    QVERIFY(box->acceptDrops());
    QVERIFY(DropFiles(*box, QStringList{files_[1], files_[0], files_[2]}, QPoint(20, 30)));
    QVERIFY(form.SysLoaded());
    QVERIFY(form.LastOpenName().empty());  // the open dialog's name is not changed
    TBitmap second;
    second.LoadFromFile(files_[1].toStdString());
    const TBitmap& shown = *Control<TImage>(form, "Image1")->Picture();
    for (int y = 0; y < 80; y += 7)
      for (int x = 0; x < 160; x += 7) QCOMPARE(shown.GetPixelColor(x, y), second.GetPixelColor(x, y));
    // An unreadable file is reported by the default handler; the drop target stays bound.
    const QString broken = dir_->filePath("broken.bmp");
    WriteFileBytes(broken.toStdString(), resources::SampleSkins().front().png);
    QVERIFY(DropFiles(*box, QStringList{broken}, QPoint(1, 1)));
    QCOMPARE(dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(dialogs.boxes[0].text, broken.toStdString() + ": A bitmap image is illegal.");
    QVERIFY(DropFiles(*box, QStringList{files_[0]}, QPoint(1, 1)));
    QCOMPARE(dialogs.boxes.size(), std::size_t{1});
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  PrepareApplication(application);
  TestDrop test;
  return QTest::qExec(&test, argc, argv);
}

#include "drop_test.moc"
