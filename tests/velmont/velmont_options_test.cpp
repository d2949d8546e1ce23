// velmont's options: help and version answer without asking anything, and an
// unknown option is refused before the dialogue; none writes a file.
#include "option_answers.h"

TEST(VelmontOptions, HelpVersionAndUnknownOptionsWriteNothing) {
    expectOptionAnswers(
        VELMONT_EXE, "1\n2\n-6\n1\n1\n",
        {{{"-h"}, 0, "Usage: velmont [options]\n", ""},
         {{"--version"}, 0, "velmont 1.03.1\n", ""},
         {{"--channels=4"}, 2, "", "velmont: unknown option '--channels=4'\nUsage: velmont"}});
}
