// A stand-in for the weather sensor: sends "1=<temperature>deg2=<humidity>" CR LF lines on a
// fresh pseudo-terminal (or on a given device), so KORA can be run and tested without hardware.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

const char* const Usage = R"(Usage: kora-sensor-sim [options]

Sends weather sensor lines "1=<temperature>deg2=<humidity>" followed by CR LF.
By default it opens a new pseudo-terminal and prints the device KORA should open
(map it to a port with Com1=<device> in the [Ports] section of KORA's settings)
as its first line of output, then sends a line every second until stopped with
Ctrl+C (SIGINT) or SIGTERM.

Options:
  --device PATH        write to PATH (e.g. the far end of a null-modem cable)
                       instead of a new pseudo-terminal
  --interval MS        milliseconds between writes (default 1000; 0 = back to back)
  --baud N             pace writes as a line at N baud would (10 bits a character)
  --count N            stop after N lines (default 0: until stopped)
  --temp C             send this fixed temperature instead of a drifting one
  --hum P              send this fixed humidity instead of a drifting one
  --seed N             seed of the drifting values (default: from the clock)
  --day S              let the values rise and fall as a day's do, a day every
                       S seconds (86400 for a real one, 600 for a quick one):
                       coolest and dampest at 3 o'clock, warmest at 15 o'clock,
                       starting at the time of day it is now
  --burst N            put N lines in each write (default 1)
  --start-inside-line  begin with the tail of a line, as when the sensor was
                       already sending when the port opened
  --noise N            first send N bytes of noise without any line end
  --help               show this text
)";

struct Options {
    std::string device;
    double intervalMs = 1000.0;
    long baud = 0;
    long count = 0;
    std::optional<double> temperature;
    std::optional<int> humidity;
    std::optional<unsigned> seed;
    int burst = 1;
    bool startInsideLine = false;
    long noise = 0;
    double daySeconds = 0;
};

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr, "kora-sensor-sim: %s\nTry --help.\n", message.c_str());
    std::exit(2);
}

double number(const char* option, const char* text)
{
    if (!text)
        usageError(std::string(option) + " needs a value");
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0')
        usageError(std::string(option) + ": not a number: " + text);
    return value;
}

Options parse(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const auto take = [&] {
            ++i;
            return number(arg.c_str(), value);
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (arg == "--device") {
            if (!value)
                usageError("--device needs a path");
            options.device = value;
            ++i;
        } else if (arg == "--interval") {
            options.intervalMs = take();
        } else if (arg == "--baud") {
            options.baud = static_cast<long>(take());
        } else if (arg == "--count") {
            options.count = static_cast<long>(take());
        } else if (arg == "--temp") {
            options.temperature = take();
        } else if (arg == "--hum") {
            options.humidity = static_cast<int>(take());
        } else if (arg == "--seed") {
            options.seed = static_cast<unsigned>(take());
        } else if (arg == "--burst") {
            options.burst = std::max(1, static_cast<int>(take()));
        } else if (arg == "--start-inside-line") {
            options.startInsideLine = true;
        } else if (arg == "--day") {
            options.daySeconds = take();
        } else if (arg == "--noise") {
            options.noise = static_cast<long>(take());
        } else {
            usageError("unknown option " + arg);
        }
    }
    if (options.intervalMs < 0 || options.count < 0 || options.noise < 0 || options.baud < 0 ||
        options.daySeconds < 0)
        usageError("values must not be negative");
    return options;
}

// The device is non-blocking: a reader that takes nothing (or none at all) leaves the write
// waiting here, where a stop signal is seen within 50 ms, and never inside write().
bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size() && !g_stop) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd room{fd, POLLOUT, 0};
            ::poll(&room, 1, 50);
        } else if (errno != EINTR) {
            return false;
        }
    }
    return done == data.size();
}

// Values that wander slowly within a plausible range, like a real room or garden.
class Weather {
public:
    explicit Weather(unsigned seed) : m_random(seed)
    {
        const std::time_t now = std::time(nullptr);
        const std::tm* local = std::localtime(&now);
        m_startOfDay =
            local ? (local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec) / 86400.0 : 0.0;
    }

    std::string nextLine(const Options& options)
    {
        std::uniform_real_distribution<double> step(-1.0, 1.0);
        m_temperature = std::clamp(m_temperature + 0.05 * step(m_random), 5.0, 32.0);
        m_humidity = std::clamp(m_humidity + 0.3 * step(m_random), 25.0, 90.0);
        double wandered = m_temperature;
        double damp = m_humidity;
        if (options.daySeconds > 0) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
            // -1 at 3 o'clock, +1 at 15 o'clock.
            const double warmth =
                std::sin(2.0 * M_PI * (m_startOfDay + elapsed / options.daySeconds - 0.375));
            wandered = std::clamp(12.0 + 7.0 * warmth + (m_temperature - 20.0) * 0.3, -40.0, 60.0);
            damp = std::clamp(65.0 - 20.0 * warmth + (m_humidity - 55.0) * 0.3, 0.0, 100.0);
        }
        const double temperature = options.temperature.value_or(wandered);
        const int humidity = options.humidity.value_or(static_cast<int>(damp + 0.5));
        char line[64];
        std::snprintf(line, sizeof line, "1=%.1fdeg2=%d\r\n", temperature, humidity);
        return line;
    }

private:
    std::mt19937 m_random;
    double m_temperature = 20.0;
    double m_humidity = 55.0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    double m_startOfDay = 0.0;
};

int openTarget(const Options& options, int& keepOpen)
{
    keepOpen = -1;
    if (!options.device.empty()) {
        const int fd = ::open(options.device.c_str(), O_WRONLY | O_NOCTTY);
        if (fd < 0) {
            std::fprintf(stderr, "kora-sensor-sim: cannot open %s: %s\n", options.device.c_str(),
                         std::strerror(errno));
            std::exit(1);
        }
        termios tio{};
        if (tcgetattr(fd, &tio) == 0) {
            cfmakeraw(&tio);
            cfsetspeed(&tio, B9600);
            tcsetattr(fd, TCSANOW, &tio);
        }
        std::printf("%s\n", options.device.c_str());
        return fd;
    }
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::fprintf(stderr, "kora-sensor-sim: cannot open a pseudo-terminal: %s\n",
                     std::strerror(errno));
        std::exit(1);
    }
    // Holding the device end open keeps the terminal alive while KORA closes and reopens it.
    keepOpen = slave;
    std::printf("%s\n", name);
    return master;
}

void sleepFor(double milliseconds)
{
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::microseconds(static_cast<long long>(milliseconds * 1000));
    while (!g_stop && std::chrono::steady_clock::now() < until) {
        const auto left = until - std::chrono::steady_clock::now();
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
    }
}
} // namespace

int main(int argc, char* argv[])
{
    const Options options = parse(argc, argv);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int keepOpen = -1;
    const int fd = openTarget(options, keepOpen);
    std::fflush(stdout);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    Weather weather(options.seed.value_or(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())));

    if (options.noise > 0) {
        std::mt19937 random(7);
        std::string noise;
        noise.reserve(static_cast<std::size_t>(options.noise));
        while (static_cast<long>(noise.size()) < options.noise) {
            const char c = static_cast<char>(random() & 0xff);
            if (c != '\r' && c != '\n')
                noise.push_back(c);
        }
        writeAll(fd, noise);
    }
    if (options.startInsideLine) {
        const std::string line = weather.nextLine(options);
        writeAll(fd, line.substr(line.size() / 2));
    }

    long sent = 0;
    while (!g_stop && (options.count == 0 || sent < options.count)) {
        std::string chunk;
        int inChunk = 0;
        while (inChunk < options.burst && (options.count == 0 || sent + inChunk < options.count)) {
            chunk += weather.nextLine(options);
            ++inChunk;
        }
        if (!writeAll(fd, chunk)) {
            if (!g_stop)
                std::fprintf(stderr, "kora-sensor-sim: write failed: %s\n", std::strerror(errno));
            break;
        }
        sent += inChunk;
        double pause = options.intervalMs;
        if (options.baud > 0)
            pause = std::max(pause, chunk.size() * 10.0 * 1000.0 / options.baud);
        if (options.count == 0 || sent < options.count)
            sleepFor(pause);
    }
    // Let the reader take the last bytes before the terminal goes away: closing it would
    // throw away what is still waiting. Written bytes reach the device end a moment after the
    // write, so first wait for them to show up there, then for the reader to take them.
    if (keepOpen >= 0 && !g_stop) {
        const auto waiting = [keepOpen] {
            int count = 0;
            return ioctl(keepOpen, FIONREAD, &count) == 0 ? count : 0;
        };
        for (int waited = 0; waited < 100 && waiting() == 0; waited += 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (int waited = 0; waited < 2000 && !g_stop && waiting() > 0; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // A serial line would otherwise hold the close until the unread rest has gone out.
    if (g_stop)
        tcflush(fd, TCOFLUSH);
    ::close(fd);
    if (keepOpen >= 0)
        ::close(keepOpen);
    return 0;
}
