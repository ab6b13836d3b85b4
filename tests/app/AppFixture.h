#pragma once

#include "app/Application.h"
#include "app/Program.h"
#include "support/EventLoop.h"
#include "support/FakePrompter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// Builds the whole program as main() does, hosting on an ephemeral port,
// with its settings and tally files in a private folder, and errors that
// escape a handler collected instead of shown.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        auto* app = static_cast<Application*>(QCoreApplication::instance());
        app->setErrorReport([this](const QString& text) { errors << text; });
    }
    void TearDown() override {
        program.reset();
        static_cast<Application*>(QCoreApplication::instance())->setErrorReport(nullptr);
    }

    Program& start(const QStringList& arguments, const QString& port = "0") {
        Program::Options options;
        options.gamePort = port;
        options.iniPath = folder.filePath("orvanelobby.ini");
        options.tallyPath = folder.filePath("Climoratally.tld");
        options.networkServices = false; // tests leave the router and the network alone
        program = std::make_unique<Program>(prompter, arguments, options);
        program->chat().show();
        return *program;
    }

    QTemporaryDir folder;
    FakePrompter prompter;
    QStringList errors;
    std::unique_ptr<Program> program;
};
