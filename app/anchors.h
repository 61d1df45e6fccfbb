// Anchors: a control anchored to an edge of its parent keeps its distance to that edge when the
// parent is resized; anchored to both opposite edges it stretches. The distances are taken from
// the stored layout, against the parent's design size.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace pw {

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// "left,top,right" and the like; an empty text means left and top.
unsigned ParseAnchors(const QString& text);

class TAnchors : public QObject {
  Q_OBJECT

 public:
  explicit TAnchors(QObject* parent = nullptr) : QObject(parent) {}

  // Records every descendant of root that carries an "anchors" property other than left,top.
  // A parent's design size is its "designSize" property when it has one, else its current size.
  void RecordAll(QWidget* root);
  void Record(QWidget* control, unsigned anchors);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    QPointer<QWidget> control;
    unsigned anchors;
    QRect design;       // geometry in the stored layout
    QSize parentDesign;  // parent's size in the stored layout
  };
  void Apply(const Entry& entry) const;

  std::vector<Entry> entries_;
};

}  // namespace pw
