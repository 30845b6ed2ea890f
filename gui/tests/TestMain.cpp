// Runs the Qt Test classes named on the command line (all when none is),
// in one QApplication on the offscreen platform unless told otherwise.
#include "GuiTest.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace vantrel::gui::test {

std::vector<RegisteredTest>& registeredTests() {
    static std::vector<RegisteredTest> tests;
    return tests;
}

bool registerTest(const char* name, std::function<QObject*()> make) {
    registeredTests().push_back({name, std::move(make)});
    return true;
}

} // namespace vantrel::gui::test

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel"));

    using vantrel::gui::test::registeredTests;
    // The first argument may name a class; the rest go to Qt Test.
    std::string only;
    int first = 1;
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        first = 2;
    }
    std::vector<char*> args{argv[0]};
    for (int i = first; i < argc; ++i)
        args.push_back(argv[i]);
    int failures = 0;
    bool found = false;
    for (const auto& test : registeredTests()) {
        if (!only.empty() && test.name != only)
            continue;
        found = true;
        std::unique_ptr<QObject> object(test.make());
        failures += QTest::qExec(object.get(), static_cast<int>(args.size()), args.data());
    }
    if (!found) {
        std::fprintf(stderr, "no test class named %s\n", only.c_str());
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
