// Pictures of the window's pages for the documentation.
#pragma once

#include <QPixmap>
#include <string>

class BrannockWindow;

// Saves brannock-<page>.png for each page and brannock-splash.png into dir
// (created when missing). False when a picture could not be written.
bool SaveScreenshots(BrannockWindow& window, const QPixmap& splash, const std::string& dir);
