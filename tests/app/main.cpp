// Runs the window test classes under one Application, the object that catches escaped exceptions.
// `app_tests CLASS [Qt Test options]` runs one class; without a class name, all of them.

#include "tests/app/support/TestClasses.h"
#include "window/Application.h"

#include <cstring>
#include <vector>

std::vector<std::pair<const char*, TestClassRun>>& test_classes() {
    static std::vector<std::pair<const char*, TestClassRun>> classes;
    return classes;
}

int main(int argc, char** argv) {
    Application app(argc, argv);
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = only ? 2 : 1; i < argc; ++i) args.push_back(argv[i]);

    int failed = 0;
    bool found = false;
    for (const auto& [name, run] : test_classes()) {
        if (only && std::strcmp(only, name) != 0) continue;
        found = true;
        failed += run(static_cast<int>(args.size()), args.data());
    }
    return found ? failed : 2;
}
