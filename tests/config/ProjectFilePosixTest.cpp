#include "config/ProjectDocument.h"
#include "platform/UniqueFd.h"
#include "tests/config/ProjectFileBadInput.h"

#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>

TEST(OpenProjectDocument, APipeIsNeverWaitedFor) {
    TempFolder folder;
    pugi::xml_document document;
    const std::string fifo = folder.File("fifo.ADPXML");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(OpenProjectDocument(fifo, document));
}

TEST_F(ProjectFileBadInputTest, EntitiesAreNeverLoadedNorExpanded) {
    const std::string secret = m_Folder.Write("secret.txt", "SECRET");
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_TRUE(watch.IsValid());
    ASSERT_GE(::inotify_add_watch(watch.Get(), secret.c_str(), IN_OPEN | IN_ACCESS), 0);
    ExpectRead(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE AdvancedPara [\n<!ENTITY ext SYSTEM \"file://" + secret +
            "\">\n<!ENTITY % param SYSTEM \"" + secret + "\">\n%param;\n<!ENTITY a \"lollollollol\">" +
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">" +
            "]>\n<AdvancedPara><KavelPara><PathData><TempPath>&ext;</TempPath></PathData><KavelData>" +
            "<KVDATA><GlobalPara EventVar=\"&ext;\" AckVar=\"&c;\"/></KVDATA></KavelData></KavelPara>" +
            "</AdvancedPara>",
        "&ext;");
    char events[4096];
    EXPECT_LT(::read(watch.Get(), events, sizeof events), 0) << "the entity's file was opened";
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(Configurations().begin()->GetGlobalParameters().EventVariable, "&ext;");
    EXPECT_EQ(Configurations().begin()->GetGlobalParameters().AcknowledgeVariable, "&c;");
}
