// Headers precompiled for the targets that use Qt (cmake/KestrinTargets.cmake):
// the widget headers most of their sources include, where the target links
// Qt's widgets, and Qt Test, where it links that.
#pragma once

#if __has_include(<QWidget>)
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QString>
#include <QTabWidget>
#include <QWidget>
#endif

#if __has_include(<QTest>)
#include <QTest>
#endif
