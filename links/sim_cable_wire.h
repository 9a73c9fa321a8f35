#pragma once
// The messages between a simulated USB cable in another process
// (meterlink-cli simulate --usb) and the program, over a Unix-domain stream
// socket. Each message is a type byte, a 16-bit little-endian payload length
// and the payload. Plain C++, shared by both sides.
//
//   client -> cable   'I' info request (empty)      cable -> client  'i' info
//   client -> cable   'F' feature report (bytes)    cable -> client  'f' accepted (1 byte: 0 or 1)
//   client -> cable   'S' subscribe (empty)         cable -> client  'r' input report (bytes)
//   client -> cable   'O' output report (bytes)     (no answer)
// A connection is one open handle; only subscribed ones receive input reports.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simcable {

enum Type : std::uint8_t {
    kInfoRequest = 'I',
    kInfo = 'i',
    kFeature = 'F',
    kFeatureAck = 'f',
    kSubscribe = 'S',
    kInputReport = 'r',
    kOutputReport = 'O',
};

constexpr std::size_t kHeaderBytes = 3;
constexpr std::size_t kMaxPayload = 1024;

struct Message {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
};

inline std::vector<std::uint8_t> encode(std::uint8_t type, const std::uint8_t* payload, std::size_t size) {
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + size);
    out.push_back(type);
    out.push_back(static_cast<std::uint8_t>(size & 0xFF));
    out.push_back(static_cast<std::uint8_t>(size >> 8));
    out.insert(out.end(), payload, payload + size);
    return out;
}

inline std::vector<std::uint8_t> encode(std::uint8_t type, const std::vector<std::uint8_t>& payload = {}) {
    return encode(type, payload.data(), payload.size());
}

// Collects received bytes and cuts them into messages.
class MessageReader {
public:
    void append(const std::uint8_t* data, std::size_t size) { buffer_.insert(buffer_.end(), data, data + size); }

    // False while no whole message is buffered. A length beyond kMaxPayload
    // marks the stream as broken (see broken()).
    bool next(Message& message) {
        if (broken_ || buffer_.size() < kHeaderBytes) return false;
        const std::size_t length = buffer_[1] | (static_cast<std::size_t>(buffer_[2]) << 8);
        if (length > kMaxPayload) {
            broken_ = true;
            return false;
        }
        if (buffer_.size() < kHeaderBytes + length) return false;
        message.type = buffer_[0];
        message.payload.assign(buffer_.begin() + kHeaderBytes, buffer_.begin() + kHeaderBytes + length);
        buffer_.erase(buffer_.begin(), buffer_.begin() + kHeaderBytes + length);
        return true;
    }
    bool broken() const { return broken_; }

private:
    std::vector<std::uint8_t> buffer_;
    bool broken_ = false;
};

// What the cable tells about itself. Strings are UTF-8.
struct CableInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
    std::uint16_t inputReportLength = 0;
    std::uint32_t session = 0;   // new for every run of the simulator: a replug
    std::string product;
    std::string serial;
    std::vector<std::uint16_t> languages;
};

inline std::vector<std::uint8_t> encodeInfo(const CableInfo& info) {
    std::vector<std::uint8_t> out;
    auto u16 = [&out](std::uint16_t v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto text = [&out](const std::string& s) {
        const std::size_t n = s.size() < 255 ? s.size() : 255;
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    };
    u16(info.vendorId);
    u16(info.productId);
    u16(info.version);
    u16(info.inputReportLength);
    u16(static_cast<std::uint16_t>(info.session & 0xFFFF));
    u16(static_cast<std::uint16_t>(info.session >> 16));
    text(info.product);
    text(info.serial);
    const std::size_t languages = info.languages.size() < 255 ? info.languages.size() : 255;
    out.push_back(static_cast<std::uint8_t>(languages));
    for (std::size_t i = 0; i < languages; ++i) u16(info.languages[i]);
    return out;
}

inline bool decodeInfo(const std::vector<std::uint8_t>& in, CableInfo& info) {
    std::size_t at = 0;
    auto u16 = [&](std::uint16_t& v) {
        if (at + 2 > in.size()) return false;
        v = static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
        at += 2;
        return true;
    };
    auto text = [&](std::string& s) {
        if (at >= in.size() || at + 1 + in[at] > in.size()) return false;
        s.assign(in.begin() + static_cast<std::ptrdiff_t>(at + 1),
                 in.begin() + static_cast<std::ptrdiff_t>(at + 1 + in[at]));
        at += 1 + in[at];
        return true;
    };
    std::uint16_t sessionLow = 0, sessionHigh = 0;
    if (!u16(info.vendorId) || !u16(info.productId) || !u16(info.version) || !u16(info.inputReportLength) ||
        !u16(sessionLow) || !u16(sessionHigh) || !text(info.product) || !text(info.serial) || at >= in.size())
        return false;
    info.session = sessionLow | (static_cast<std::uint32_t>(sessionHigh) << 16);
    const std::size_t languages = in[at++];
    info.languages.assign(languages, 0);
    for (std::size_t i = 0; i < languages; ++i)
        if (!u16(info.languages[i])) return false;
    return at == in.size();
}

}  // namespace simcable
