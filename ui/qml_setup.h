#pragma once

// Prepares a QML engine for kelvo's modules: the bundled modules Kelvo.Style and Kelvo.Views
// (import path "qrc:/") and the tinted icon provider. Used by the tray app and the QML tests.

class QQmlEngine;

namespace kelvo {

void prepareQmlEngine(QQmlEngine& engine);

}  // namespace kelvo
