#include "tempdir.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

TempDir::TempDir()
{
    char tmpl[] = "/tmp/kestrum_test_XXXXXX";
    path = mkdtemp(tmpl);
}

TempDir::~TempDir()
{
    std::system(("rm -rf '" + path + "'").c_str());
}

int TempDir::EntryCount() const
{
    int n = 0;
    DIR *d = opendir(path.c_str());
    while (dirent *e = readdir(d))
        n += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
    closedir(d);
    return n;
}

std::string ReadRaw(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteRaw(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

FileSizeLimit::FileSizeLimit(size_t bytes) : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
{
    getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}
