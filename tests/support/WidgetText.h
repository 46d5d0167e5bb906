#pragma once
// What a list or combo box shows, as text, for comparisons in tests.

#include <QComboBox>
#include <QListWidget>
#include <QStringList>

namespace testing {

inline QStringList entries(const QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

inline QStringList entries(const QComboBox* box) {
    QStringList names;
    for (int i = 0; i < box->count(); ++i)
        names.append(box->itemText(i));
    return names;
}

} // namespace testing
