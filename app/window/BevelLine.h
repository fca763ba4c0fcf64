#pragma once
// A sunken separator line drawn along the top edge of its frame.

#include <QWidget>

namespace quillet {

class TBevelLine : public QWidget {
  Q_OBJECT

 public:
  explicit TBevelLine(QWidget* parent = nullptr) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillet
