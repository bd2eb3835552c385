// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

// What an invoker sent for one launch: the command line, the environment and
// the working directory of the application.
class AppData
{
public:
    AppData();
    ~AppData();
    AppData(const AppData &) = delete;
    AppData &operator=(const AppData &) = delete;

    // The command line as a null-terminated array; it and its strings stay
    // valid until the next setArguments() or the end of this object.
    int argc() const;
    char **argv() const;
    // argv[0]: the program to start.
    std::string fileName() const;

    const std::vector<std::string> &environment() const { return m_environment; }
    const std::string &workingDirectory() const { return m_workingDirectory; }

    void setArguments(const std::vector<std::string> &arguments);
    void setEnvironment(const std::vector<std::string> &environment)
    {
        m_environment = environment;
    }
    void setWorkingDirectory(const std::string &dir) { m_workingDirectory = dir; }

private:
    std::vector<std::string> m_arguments;
    std::vector<char *> m_argv;
    std::vector<std::string> m_environment;
    std::string m_workingDirectory;
};
