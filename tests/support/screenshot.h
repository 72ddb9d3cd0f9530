#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

// Grabs the window after pending events, checks the picture is at least the given size,
// and with ORVANE_SCREENSHOTS set (make screenshots) writes it there as NAME.png.
QImage Screenshot(QWidget* window, const QString& name, QSize atLeast = {});
// Writes a picture made otherwise in the same way.
void SaveScreenshot(const QImage& image, const QString& name);
