#pragma once

// The set-up every test with widgets or settings shares: the test program's
// one QApplication (made before any fixture, so fixtures may hold widgets),
// and a fresh settings folder per test, so no test reads another's file or
// the user's own.
//
// Threads: GUI thread (the test's own).

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace testkit
{

// The test program's application object; never destroyed, as it must
// outlive every static of the program.
QApplication& application();

// Widgets may be fixture members: every test program that includes this
// header makes its application before the first fixture.
class ApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { application(); }
};
inline ::testing::Environment* const applicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Turns a mouse wheel over the widget's middle `notches` times by
// `angleDelta` (120 a notch up); whether the widget accepted the last turn.
bool turnWheel(QWidget* widget, int angleDelta, int notches = 1);

// A fixture whose settings file lives in a folder of its own.
class RackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { application(); }
    void SetUp() override;
    // The settings file the program's units use, under the test's folder.
    std::string settingsPath() const;
    QTemporaryDir m_config;
};

} // namespace testkit
