// Runs the window test classes under one Application, the object that catches escaped exceptions.
// `app_tests CLASS [Qt Test options]` runs one class; without a class name, all of them.

#include "app/Application.h"

#include <cstring>
#include <vector>

#include <QTest>

int run_NumericFieldTest(int argc, char** argv);
int run_ChartsTest(int argc, char** argv);
int run_DialogsTest(int argc, char** argv);
int run_WindowTest(int argc, char** argv);
int run_PickerTest(int argc, char** argv);
int run_MakeTreeTest(int argc, char** argv);
int run_JobsTest(int argc, char** argv);
int run_WindowFeaturesTest(int argc, char** argv);
int run_ConvergenceTest(int argc, char** argv);
int run_ExportTest(int argc, char** argv);
int run_EstimateTest(int argc, char** argv);
int run_MapTest(int argc, char** argv);

int main(int argc, char** argv) {
    Application app(argc, argv);
    const struct {
        const char* name;
        int (*run)(int, char**);
    } classes[] = {
        {"NumericFieldTest", run_NumericFieldTest},
        {"ChartsTest", run_ChartsTest},
        {"DialogsTest", run_DialogsTest},
        {"WindowTest", run_WindowTest},
        {"PickerTest", run_PickerTest},
        {"MakeTreeTest", run_MakeTreeTest},
        {"JobsTest", run_JobsTest},
        {"WindowFeaturesTest", run_WindowFeaturesTest},
        {"ConvergenceTest", run_ConvergenceTest},
        {"ExportTest", run_ExportTest},
        {"EstimateTest", run_EstimateTest},
        {"MapTest", run_MapTest},
    };
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = only ? 2 : 1; i < argc; ++i) args.push_back(argv[i]);

    int failed = 0;
    bool found = false;
    for (const auto& c : classes) {
        if (only && std::strcmp(only, c.name) != 0) continue;
        found = true;
        failed += c.run(static_cast<int>(args.size()), args.data());
    }
    return found ? failed : 2;
}
