#pragma once

#include <QDialog>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// What the session tests share: a program folder of their own with the
// shipped language files and model, a per-user folder, and a way to act on a
// modal dialog once it is shown.
namespace SessionSupport {

// Lays out a program folder in dir/program with the shipped language files,
// model.ini and, when withStationFile, zor.ini; points the program and the
// per-user folder (dir/config) at them. False when a copy fails.
bool layOut(const QTemporaryDir& dir, bool withStationFile);

// The per-user station file of the running executable under dir/config.
QString stationFile(const QTemporaryDir& dir);

// Writes a station file with the given lines (CRLF line ends).
bool writeStationFile(const QString& path, const QStringList& lines);

// Runs action on the modal dialog of that objectName as soon as it is shown
// (polled from the event loop, for at most 30 seconds).
void onModal(const QString& objectName, std::function<void(QDialog*)> action);

// Drops the onModal actions that have not run.
void dropPendingActions();

// Types text into the child line edit of that name (replacing its text), or
// clicks the child button of that name.
void type(QWidget* window, const char* field, const QString& text);
void click(QWidget* window, const char* button);

// The whole file, or an empty array.
QByteArray readFile(const QString& path);

} // namespace SessionSupport
