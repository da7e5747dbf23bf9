// The look the settings dialog's pages share: groups at the top, one below the other.
#pragma once

#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QWidget>

// A group box titled title whose controls go into grid.
inline QGroupBox* pageGroup(const QString& title, QGridLayout*& grid) {
    auto* box = new QGroupBox(title);
    grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    return box;
}

// Lays out widget as a page whose groups and rows go into column.
inline QWidget* pageColumn(QWidget* widget, QVBoxLayout*& column) {
    column = new QVBoxLayout(widget);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    return widget;
}
