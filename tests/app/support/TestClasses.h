#pragma once

// The window's test classes register themselves here, once each: VELMORA_TEST_CLASS(Name) after a class
// makes `app_tests Name` run it, and the build gives it a ctest entry of its own (app.Name).

#include <utility>
#include <vector>

#include <QTest>

using TestClassRun = int (*)(int argc, char** argv);

/// Every registered class, by name.
std::vector<std::pair<const char*, TestClassRun>>& test_classes();

struct TestClassRegistration {
    TestClassRegistration(const char* name, TestClassRun run) { test_classes().emplace_back(name, run); }
};

#define VELMORA_TEST_CLASS(Class)                   \
    static int run_##Class(int argc, char** argv) { \
        Class test;                                 \
        return QTest::qExec(&test, argc, argv);     \
    }                                               \
    static const TestClassRegistration registration_##Class(#Class, run_##Class)
