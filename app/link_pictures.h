#pragma once
// Small pictures drawn at run time: the meter-and-computer link indicator
// (screens lit or dark), the "data received" monitor with an S, and the
// relative-mode delta of the LCD.

#include <QPixmap>
#include <QSize>

QPixmap linkPicture(bool active, QSize size = {36, 29});
QPixmap sendPicture(QSize size = {36, 29});
QPixmap deltaPicture(QSize size = {24, 24});
QPixmap applicationIcon(int size = 64);
