// What only the Windows device layer does: error numbers with the system's
// own texts.
#include "ApdExceptions.h"
#include "ComPortFixture.h"

#include <windows.h>

TEST(ErrorMapping, WindowsErrorsWithoutARowKeepTheSystemsTextInOneLine) {
    struct Case {
        int Error;
        const char* Table; // the table's row, or none
    };
    const Case cases[] = {{ERROR_FILE_NOT_FOUND, "File not found"},
                          {ERROR_ACCESS_DENIED, "File access denied"},
                          {ERROR_INVALID_PARAMETER, nullptr},
                          {ERROR_GEN_FAILURE, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Error);
        const std::string message = MessageOf<EInOutError>([&] { CheckResult(-c.Error); });
        if (c.Table) {
            EXPECT_EQ(message, c.Table);
            continue;
        }
        // The system's text ends in CR LF: one blank is left of it.
        EXPECT_EQ(message, CleanSystemText(SystemErrorText(c.Error)));
        ASSERT_GE(message.size(), 2u);
        EXPECT_EQ(message.back(), ' ');
        EXPECT_NE(message[message.size() - 2], ' ');
        EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos);
    }
}
