#include "SerialPair.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Host ends: COM numbers from here on are left to other programs' own ports, up to the last
// number the plug-in probes. Client ends: the host end's number plus `clientOffset`.
constexpr int firstNumber = 40;
constexpr int lastNumber = 99;
constexpr int clientOffset = 100;

bool linkExists(int number)
{
    struct stat info;
    return ::lstat(("/dev/COM" + std::to_string(number)).c_str(), &info) == 0;
}

// Numbers of this process's pairs, free again only once their socat has ended, so a pair
// being torn down is never mistaken for a free one.
std::set<int> taken;

// A free host number whose client number is free too.
int takeNumber()
{
    for (int n = firstNumber; n <= lastNumber; ++n) {
        if (!taken.count(n) && !linkExists(n) && !linkExists(n + clientOffset)) {
            taken.insert(n);
            return n;
        }
    }
    return -1;
}

std::string ptyEnd(int number)
{
    return "pty,raw,echo=0,link=/dev/COM" + std::to_string(number);
}

} // namespace

SerialPair::~SerialPair()
{
    m_socat.stop();
    if (m_master >= 0)
        ::close(m_master);
    if (m_direct)
        ::unlink(("/dev/COM" + std::to_string(m_host)).c_str());
    taken.erase(m_host);
}

bool SerialPair::openDirect(std::string& error)
{
    m_host = takeNumber();
    if (m_host < 0) {
        error = "no free /dev/COMn names left between COM40 and COM99";
        return false;
    }
    m_direct = true;
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char terminal[64];
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, terminal, sizeof terminal) != 0 ||
        ::symlink(terminal, ("/dev/" + hostName()).c_str()) != 0) {
        error = "direct pair on /dev/" + hostName() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int SerialPair::takeClientFd()
{
    const int fd = m_master;
    m_master = -1;
    return fd;
}

bool SerialPair::open(const std::string& work, std::string& error)
{
    m_host = takeNumber();
    if (m_host < 0) {
        error = "no free /dev/COMn names left between COM40 and COM99";
        return false;
    }
    m_client = m_host + clientOffset;
    const std::string log = work + "/socat-" + std::to_string(m_host) + ".log";
    if (!m_socat.start({"socat", ptyEnd(m_host), ptyEnd(m_client)}, log, error))
        return false;
    for (int waited = 0; waited < 5000; waited += 10) {
        if (linkExists(m_host) && linkExists(m_client))
            return true;
        sleepMs(10);
    }
    error = "socat did not link /dev/" + hostName() + " and " + clientPath();
    return false;
}
