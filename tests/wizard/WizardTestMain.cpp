// The wizard tests drive real widgets, so they need one application object
// for the whole run; the offscreen platform unless another one is asked for.
#include "engine/server_target.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Cell texts follow the process locale; the tests expect a decimal point.
    setenv("LC_ALL", "C.UTF-8", 1);
    ::testing::InitGoogleTest(&argc, argv);
    const tabellix::TProviderRegistration units;
    QApplication app(argc, argv);
    // Remembered settings go to a folder of the run's own, never the user's.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    // Closing the wizard in a test must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
