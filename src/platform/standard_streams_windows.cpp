#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <iostream>
#include <streambuf>
#include <string>

#include "platform/standard_streams.h"
#include "platform/unicode_text.h"

namespace quorvel::platform {
namespace {

// A console takes UTF-16 whole: bytes written one by one would each be a broken character.
// Holds back the end of a UTF-8 sequence cut by a flush until the rest comes.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) pending_ += static_cast<char>(c);
        if (pending_.size() >= 4096) WriteWhole();
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        if (pending_.size() >= 4096) WriteWhole();
        return n;
    }
    int sync() override {
        WriteWhole();
        return 0;
    }

  private:
    void WriteWhole() {
        // The whole characters: a cut sequence at the end waits for its rest.
        std::size_t end = pending_.size();
        for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const auto b = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((b & 0xC0) == 0x80) continue;
            const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            if (need > back) end = pending_.size() - back;
            break;
        }
        const std::u16string wide = Utf16OfUtf8(std::string_view(pending_).substr(0, end));
        const auto* data = reinterpret_cast<const wchar_t*>(wide.data());
        std::size_t left = wide.size();
        while (left > 0) {
            DWORD put = 0;
            const DWORD size = left > 8192 ? 8192 : static_cast<DWORD>(left);
            if (!::WriteConsoleW(console_, data, size, &put, nullptr) || put == 0) break;
            data += put;
            left -= put;
        }
        pending_.erase(0, end);
    }

    HANDLE console_;
    std::string pending_;
};

// The stream's buffer replaced by one writing to the console, when it is one.
void ToConsole(std::ostream& stream, DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        return;
    }
    stream.flush();
    // Lives for the whole run: the streams are flushed at exit.
    static ConsoleBuffer* buffers[2] = {nullptr, nullptr};
    ConsoleBuffer*& buffer = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
    if (buffer == nullptr) buffer = new ConsoleBuffer(handle);
    stream.rdbuf(buffer);
}

}  // namespace

void PrepareStandardStreams() {
    for (std::FILE* stream : {stdin, stdout, stderr}) ::_setmode(::_fileno(stream), _O_BINARY);
    ToConsole(std::cout, STD_OUTPUT_HANDLE);
    ToConsole(std::cerr, STD_ERROR_HANDLE);
}

}  // namespace quorvel::platform
