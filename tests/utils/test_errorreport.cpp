#include <gtest/gtest.h>

#include <string>

#include "UtilsSrc/cvastrelexception.h"
#include "UtilsSrc/errorreport.h"
#include "errorreport_capture.h"

using Vastrel::Utils::CVastrelException;
using Vastrel::Utils::LoadMessage;
using Vastrel::Utils::ReportError;

namespace {

struct MessageRow {
    UINT id;
    const char* text;
};

const MessageRow kMessages[] = {
    {101, "Nincs meg ez a bitmap: %s!"},
    {102, "\"Ez az XML dokumentum nem letezik, vagy nem XML formatumu: %s\""},
    {103, "\"This XML document is empty: %s\""},
    {104, "A 'ParticleSystem' pNode-nak mindenkeppen kell 'maxParticle' attributum!"},
    {105, "A 'ParticleSystem' pNode-nak mindenkeppen kell 'emitPerSec' attributum"},
    {106, "A 'ParticleSystem' pNode-nak mindenkeppen kell 'particlePerEmit' attributum!"},
    {107, "A 'Blend' pNode-nak mindenkeppen kell 'enable' attributum!"},
    {108, "Nincs ilyen SRCBLEND ertek: %s!"},
    {109, "Nincs ilyen DESTBLEND ertek: %s!"},
    {110, "A 'ParticleSystemParams' pNode-nak mindenkeppen kell 'name' attributum!"},
    {111, "Az 'Emitter' pNode-nak mindenkeppen kell 'name' attributum!"},
    {112, "A 'Texture' pNode-nak mindenkeppen kell 'name' attributum!"},
    {113, "\"Nincsen meg ez az X file: %s!\""},
    {114, "Nincs ParticleSystemParams pNode!"},
    {115, "Nincs Emitter pNode!"},
    {116, "Don't find this file: %s"},
    {117, "A 'ParticleSystem' pNode-nak mindenkeppen kell 'name' attributum!"},
    {118, "A 'ParticleSystem' pNode-nak mindenkeppen kell 'type' attributum!"},
    {119, "Az 'Emitter' pNode-nak mindenkeppen kell 'type' attributum!"},
    {120, "A 'ParticleSystemParams' pNode-nak mindenkeppen kell 'type' attributum!"},
    {121, "A 'Texture' pNode-nak mindenkeppen kell 'type' attributum!"},
};

}  // namespace

TEST(LoadMessage, EveryMessageMatchesItsTextByteForByte) {
    for (const MessageRow& row : kMessages) {
        EXPECT_STREQ(LoadMessage(row.id).GetString(), row.text) << "message " << row.id;
    }
}

TEST(LoadMessage, IdsOutsideTheTableAreEmpty) {
    EXPECT_TRUE(LoadMessage(100).IsEmpty());
    EXPECT_TRUE(LoadMessage(122).IsEmpty());
}

TEST(ReportError, ReachesTheHookWithFileLineIdAndFormattedDescription) {
    ErrorReportCapture capture;
    ReportError("emitter.cpp", 42, 102, "fire.xml");
    ReportError("texture.cpp", 7, 112);
    ASSERT_EQ(capture.reports.size(), 2u);
    EXPECT_EQ(capture.reports[0].sourceFile, "emitter.cpp");
    EXPECT_EQ(capture.reports[0].line, 42);
    EXPECT_EQ(capture.reports[0].messageId, 102);
    EXPECT_EQ(capture.reports[0].description,
              "\"Ez az XML dokumentum nem letezik, vagy nem XML formatumu: fire.xml\"");
    EXPECT_EQ(capture.reports[1].messageId, 112);
    EXPECT_EQ(capture.reports[1].description, kMessages[112 - 101].text);
}

TEST(ReportError, NullHookSwitchesReportsOff) {
    ErrorReportCapture capture;
    Vastrel::Utils::SetErrorReportHook(nullptr, &capture);
    ReportError("emitter.cpp", 1, 115);
    EXPECT_TRUE(capture.reports.empty());
}

TEST(ReportError, LongDescriptionIsCutTo1023CharactersAndStillReported) {
    ErrorReportCapture capture;
    const std::string longName(5000, 'x');
    ReportError("cmyfile.cpp", 9, 116, longName.c_str());
    ASSERT_EQ(capture.reports.size(), 1u);
    const std::string& description = capture.reports[0].description;
    EXPECT_EQ(description.size(), 1023u);
    EXPECT_EQ(description.rfind("Don't find this file: xxx", 0), 0u);
}

TEST(CVastrelException, KeepsItsRecordAndCutsTheDescription) {
    const std::string longText(5000, 'y');
    CVastrelException record("a.cpp", 12, "%s!", longText.c_str());
    EXPECT_STREQ(record.GetSourceFile().GetString(), "a.cpp");
    EXPECT_EQ(record.GetLineNumber(), 12);
    EXPECT_EQ(record.GetErrorString().GetLength(), CVastrelException::kMaxDescription);
    EXPECT_EQ(record.GetErrorString().Find('!'), -1);
    record.Print("Assert:");

    CVastrelException exact("a.cpp", 12, "%s", std::string(1023, 'z').c_str());
    EXPECT_EQ(exact.GetErrorString().GetLength(), 1023);
}
