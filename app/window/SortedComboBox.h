#pragma once
// A drop-down box with an edit field whose list stays sorted the way the
// user reads it (case-insensitive, in the locale's order) and keeps
// duplicates. The edit text is independent of the items: adding, replacing
// or clearing items never changes it.

#include <QComboBox>
#include <QStringList>

namespace quillet {

class TSortedComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TSortedComboBox(QWidget* parent = nullptr);

  QString Text() const { return currentText(); }
  void SetText(const QString& text);

  // Inserts at its sorted place, after any equal items; never skips a duplicate.
  void AddItem(const QString& item);
  // Replaces every item with the given ones, sorted.
  void SetItems(const QStringList& items);
  QStringList Items() const;
  // Empties the edit text and the list.
  void ClearAll();

  // True when a sorts before b in the list's order.
  static bool SortsBefore(const QString& a, const QString& b);

 signals:
  // The user picked an entry: its text is in the edit field, selected.
  void Picked();

 private:
  void TakePickedEntry(int index);
};

}  // namespace quillet
