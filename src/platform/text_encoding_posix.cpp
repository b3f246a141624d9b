#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/text_encoding.h"

namespace quorvel::platform {
namespace {

class IconvConverter : public TextConverter {
  public:
    explicit IconvConverter(iconv_t cd) : cd_(cd) {}
    ~IconvConverter() override { ::iconv_close(cd_); }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    Step Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& room) override {
        // iconv's input is not const only for historical reasons: it never writes there.
        char* from = const_cast<char*>(in);
        const std::size_t done = ::iconv(cd_, &from, &inLeft, &out, &room);
        const int err = errno;
        in = from;
        if (done != static_cast<std::size_t>(-1)) return Step::Done;
        switch (err) {
            case E2BIG:
                return Step::Full;
            case EILSEQ:
                return Step::Invalid;
            case EINVAL:
                return Step::Incomplete;
            default:
                error_ = err;
                return Step::Failed;
        }
    }

    std::string Error() const override { return std::strerror(error_); }

  private:
    iconv_t cd_;
    int error_ = 0;
};

}  // namespace

std::unique_ptr<TextConverter> TextConverter::Open(const std::string& to, const std::string& from,
                                                   std::string& why) {
    iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        why = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<IconvConverter>(cd);
}

bool ReadsAllOfGb18030() {
    return true;
}

bool ConvertsWithIconv() {
    return true;
}

}  // namespace quorvel::platform
