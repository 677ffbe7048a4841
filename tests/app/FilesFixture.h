#pragma once

#include "PromptRecorder.h"
#include "app/TMainForm.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A main window with its own data folder and settings, whose dialogs are answered by the test.
class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        linovex::test::useScratchProgramFolders(m_dir.path());
        prompts.yesNoAnswer = true;
    }

    std::unique_ptr<TMainForm> makeForm()
    {
        auto form = std::make_unique<TMainForm>();
        prompts.install(*form);
        return form;
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    static void addLine(TMainForm &form, double x0, double y0, double x1, double y1, int chainPos)
    {
        TDrawElement *e = form.elements().Append();
        *e = {};
        e->ChainPos = chainPos;
        e->Kind = KindLine;
        e->Start = { x0, y0 };
        e->End = { x1, y1 };
    }

    QTemporaryDir m_dir;
    PromptRecorder prompts;
};
