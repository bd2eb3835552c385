// SPDX-License-Identifier: GPL-2.0-or-later
#include "appdata.h"

AppData::AppData()
{
    m_argv.push_back(nullptr);
}

AppData::~AppData() = default;

int AppData::argc() const
{
    return int(m_arguments.size());
}

char **AppData::argv() const
{
    return const_cast<char **>(m_argv.data());
}

std::string AppData::fileName() const
{
    return m_arguments.empty() ? std::string() : m_arguments.front();
}

void AppData::setArguments(const std::vector<std::string> &arguments)
{
    m_arguments = arguments;
    m_argv.clear();
    for (std::string &a : m_arguments) {
        m_argv.push_back(a.data());
    }
    m_argv.push_back(nullptr);
}
