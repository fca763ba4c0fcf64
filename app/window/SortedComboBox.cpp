#include "app/window/SortedComboBox.h"

#include <QLineEdit>

namespace quillet {

TSortedComboBox::TSortedComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // Enter in the edit field must not add items: only the add buttons do.
  setInsertPolicy(QComboBox::NoInsert);
  connect(this, &QComboBox::activated, this, &TSortedComboBox::TakePickedEntry);
}

void TSortedComboBox::SetText(const QString& text) { setEditText(text); }

bool TSortedComboBox::SortsBefore(const QString& a, const QString& b) {
  return QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded()) < 0;
}

void TSortedComboBox::AddItem(const QString& item) {
  const QString text = Text();
  int low = 0;
  int high = count();
  while (low < high) {
    const int middle = (low + high) / 2;
    if (SortsBefore(item, itemText(middle))) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  insertItem(low, item);
  setCurrentIndex(-1);
  setEditText(text);
}

void TSortedComboBox::SetItems(const QStringList& items) {
  const QString text = Text();
  clear();
  for (const QString& item : items) AddItem(item);
  setCurrentIndex(-1);
  setEditText(text);
}

QStringList TSortedComboBox::Items() const {
  QStringList items;
  for (int i = 0; i < count(); ++i) items.push_back(itemText(i));
  return items;
}

void TSortedComboBox::ClearAll() {
  clear();
  setEditText(QString());
}

void TSortedComboBox::TakePickedEntry(int index) {
  // The entry's text goes into the edit field, selected, before the box's own
  // handler runs - as the desktop's drop-down boxes do.
  setEditText(itemText(index));
  lineEdit()->selectAll();
  emit Picked();
}

}  // namespace quillet
