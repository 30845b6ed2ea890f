#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

namespace vantrel::gui::test {

/// A Qt Test class that the test program can run by name.
struct RegisteredTest {
    std::string name;
    std::function<QObject*()> make;
};

/// Every registered test class, in registration order.
std::vector<RegisteredTest>& registeredTests();

/// Registers a test class; used through VANTREL_GUI_TEST.
bool registerTest(const char* name, std::function<QObject*()> make);

} // namespace vantrel::gui::test

/// Makes the test class runnable as `vantrel_gui_tests Class`.
#define VANTREL_GUI_TEST(Class)                                                                    \
    [[maybe_unused]] static const bool registered##Class =                                         \
        ::vantrel::gui::test::registerTest(#Class, [] { return new Class; });
