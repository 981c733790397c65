// Headers precompiled for the targets that use Qt's widgets
// (cmake/KestrinTargets.cmake): those most of their sources include.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QString>
#include <QTabWidget>
#include <QWidget>
