// The program's icon and start-up picture, painted at run time (the same
// design as the installed brannock.svg).
#pragma once

#include <QPixmap>

QPixmap BrannockIcon(int size);
QPixmap SplashPicture(const QString& title, const QString& version);
