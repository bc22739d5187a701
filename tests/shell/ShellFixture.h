#pragma once
// A whole program on a fake serial device, started in a temporary current directory, with the
// message boxes collected instead of shown.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "link/QtHandoverPump.h"
#include "shell/MainForm.h"
#include "widgets/MessageBoxes.h"
#include "shell/Program.h"
#include "shell/Welcome.h"

namespace orbiqa::test {

inline bool WaitFor(const std::function<bool()>& pred, int ms = 3000) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void Spin(int ms) {
    WaitFor([] { return false; }, ms);
}

struct ShellFixture : ::testing::Test {
    QTemporaryDir dir;
    QString oldDir;
    std::vector<BoxRequest> boxes;
    FakeSerialDevice* device = nullptr;
    std::unique_ptr<ModuleLink> link;
    std::unique_ptr<QtHandoverPump> pump;
    std::unique_ptr<Program> program;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        SetMessageBoxHook([this](const BoxRequest& r) { boxes.push_back(r); });
        link = std::make_unique<ModuleLink>(MakeDevice());
        pump = std::make_unique<QtHandoverPump>(link->ComPort1());
    }

    void TearDown() override {
        EndProgram();
        pump.reset();
        link.reset();
        SetMessageBoxHook(nullptr);
        QDir::setCurrent(oldDir);
    }

    /// The fake device by default; end-to-end tests give the real one.
    virtual std::unique_ptr<SerialDevice> MakeDevice() {
        auto d = std::make_unique<FakeSerialDevice>();
        device = d.get();
        return d;
    }

    /// Builds the windows in start-up order and shows the splash; returns once the main window
    /// is shown.
    void StartProgram() {
        program = std::make_unique<Program>(*link);
        program->CreateWelcomeForm();
        program->CreateStateForm();
        program->CreateFormDetails();
        BeforeShow();
        program->ShowWelcomeForm();
        ASSERT_TRUE(WaitFor([this] { return Main() && Main()->isVisible(); }));
    }
    virtual void BeforeShow() {}

    void EndProgram() { program.reset(); }

    TMainForm* Main() { return program ? program->MainForm() : nullptr; }
    template <class T>
    T* Control(const char* name) {
        return Main()->findChild<T*>(name);
    }
};

}  // namespace orbiqa::test
