// One run of the program as its command line asks for it: the usage, the window with the
// folder and the action preselected, or the action carried out without a window (/SILENT), and
// the exit code with which the program ends. The action itself is always the window's own
// sequence, started by its action button.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "ui/Application.h"

class TuUpd;

namespace admin {

class Run {
public:
    // Reads the arguments and starts the log. The usage (/? or /HELP), a bad command line and
    // a folder that cannot be used end the run here: they are shown, and Ended() is true.
    explicit Run(const std::vector<std::string>& args);
    bool Ended() const { return ended_; }
    bool Silent() const { return options_.silent; }
    // The backend for the window: none on the screen for a silent run, else `native`.
    std::unique_ptr<ui::Backend> Backend(std::unique_ptr<ui::Backend> (*native)());
    // Puts the folder and the action into the created window. A silent run then presses the
    // action button; an uninstall where nothing is installed ends the run before anything is
    // touched. True when the window's message loop is to run.
    bool Start(TuUpd& window);
    // The program's exit code, also written to the log, which it closes.
    int Finish();

private:
    void Refuse(const std::string& reason, int code);
    // Ends the run before the window with `code`: the problem goes to the log and to standard
    // error (silent) or a box.
    void EndWith(const std::string& problem, int code);

    Options options_;
    bool ended_ = false;
    std::string logPath_;  // the log's file as opened, "" without one
};

}  // namespace admin
