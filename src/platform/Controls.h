#pragma once
// Building fixed window layouts: a control is created with its name and placed by its
// position and size in twips.

#include "platform/Twips.h"

#include <QLatin1String>
#include <QWidget>

namespace platform {

template <typename W> W* place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(twips::rect(left, top, width, height));
    return widget;
}

} // namespace platform
