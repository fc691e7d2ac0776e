#include "sim/SimStateFile.h"

#include "link/HexPair.h"

#include <nlohmann/json.hpp>

#include <set>
#include <sstream>

namespace kelvo {

namespace {

using nlohmann::json;

std::string ToHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text(count * 2, '0');
    for (std::size_t i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    return text;
}

// Reads the fields of one state file, remembering the first problem.
class Reader {
public:
    explicit Reader(std::string_view source) : source_(source) {}

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    void Fail(const std::string& what) {
        if (error_.empty())
            error_ = std::string(source_) + ": " + what;
    }

    // Rejects keys we do not know, so a misspelt fault is not silently ignored.
    void OnlyKeys(const json& object, const std::set<std::string>& known,
                  const std::string& where) {
        for (const auto& item : object.items())
            if (!known.count(item.key()))
                Fail("unknown field \"" + item.key() + "\"" + where);
    }

    // Hexadecimal byte string; `sizes` lists the accepted byte counts.
    bool Hex(const json& value, const std::string& name, std::initializer_list<std::size_t> sizes,
             std::vector<std::uint8_t>& out) {
        if (!value.is_string()) {
            Fail("\"" + name + "\" must be a string of hexadecimal digits");
            return false;
        }
        const std::string& text = value.get_ref<const std::string&>();
        std::vector<std::uint8_t> bytes;
        bytes.reserve(text.size() / 2);
        for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
            const int hi = HexDigitValue(text[i]);
            const int lo = HexDigitValue(text[i + 1]);
            if (hi < 0 || lo < 0) {
                Fail("\"" + name +
                     "\" has a character that is not a hexadecimal digit near "
                     "position " +
                     std::to_string(i));
                return false;
            }
            bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        }
        if (text.size() % 2 != 0) {
            Fail("\"" + name + "\" has an odd number of hexadecimal digits");
            return false;
        }
        for (std::size_t size : sizes)
            if (bytes.size() == size) {
                out = std::move(bytes);
                return true;
            }
        std::string expected;
        for (std::size_t size : sizes)
            expected += (expected.empty() ? "" : " or ") + std::to_string(size);
        Fail("\"" + name + "\" holds " + std::to_string(bytes.size()) + " bytes, expected " +
             expected);
        return false;
    }

    bool Bool(const json& value, const std::string& name, bool& out) {
        if (!value.is_boolean()) {
            Fail("\"" + name + "\" must be true or false");
            return false;
        }
        out = value.get<bool>();
        return true;
    }

    bool Integer(const json& value, const std::string& name, std::int64_t low, std::int64_t high,
                 std::int64_t& out) {
        if (!value.is_number_integer() ||
            (value.is_number_unsigned() &&
             value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)) ||
            value.get<std::int64_t>() < low || value.get<std::int64_t>() > high) {
            Fail("\"" + name + "\" must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high));
            return false;
        }
        out = value.get<std::int64_t>();
        return true;
    }

    // A byte or an I/O address written as a hexadecimal string ("378").
    bool HexNumber(const json& value, const std::string& name, unsigned low, unsigned high,
                   unsigned& out) {
        bool good = value.is_string() && !value.get_ref<const std::string&>().empty() &&
                    value.get_ref<const std::string&>().size() <= 4;
        unsigned number = 0;
        if (good)
            for (char c : value.get_ref<const std::string&>()) {
                const int d = HexDigitValue(c);
                if (d < 0)
                    good = false;
                number = number * 16 + static_cast<unsigned>(d < 0 ? 0 : d);
            }
        if (!good || number < low || number > high) {
            std::ostringstream range;
            range << std::uppercase << std::hex << low << " to " << high;
            Fail("\"" + name + "\" must be a hexadecimal string from " + range.str());
            return false;
        }
        out = number;
        return true;
    }

private:
    std::string_view source_;
    std::string error_;
};

void ReadFaults(Reader& r, const json& j, SimFaults& f) {
    if (!j.is_object()) {
        r.Fail("\"faults\" must be an object");
        return;
    }
    r.OnlyKeys(
        j, {"noBoard", "noPower", "stuckBit", "answerFromEnable", "bitErrorRate", "bitErrorSeed"},
        " in \"faults\"");
    if (j.contains("noBoard"))
        r.Bool(j["noBoard"], "faults.noBoard", f.noBoard);
    if (j.contains("noPower"))
        r.Bool(j["noPower"], "faults.noPower", f.noPower);
    if (j.contains("stuckBit") && !j["stuckBit"].is_null()) {
        const json& s = j["stuckBit"];
        if (!s.is_object() || !s.contains("address") || !s.contains("bit") ||
            !s.contains("level")) {
            r.Fail("\"faults.stuckBit\" must be null or an object with \"address\", \"bit\" "
                   "and \"level\"");
            return;
        }
        r.OnlyKeys(s, {"address", "bit", "level"}, " in \"faults.stuckBit\"");
        std::int64_t address = 0, bit = 0, level = 0;
        if (r.Integer(s["address"], "faults.stuckBit.address", 0, 2047, address) &&
            r.Integer(s["bit"], "faults.stuckBit.bit", 0, 7, bit) &&
            r.Integer(s["level"], "faults.stuckBit.level", 0, 1, level)) {
            f.stuckAddress = static_cast<int>(address);
            f.stuckBit = static_cast<int>(bit);
            f.stuckLevel = static_cast<int>(level);
        }
    }
    std::int64_t n = 0;
    if (j.contains("answerFromEnable") &&
        r.Integer(j["answerFromEnable"], "faults.answerFromEnable", 1, 1000000, n))
        f.answerFromEnable = static_cast<std::uint32_t>(n);
    if (j.contains("bitErrorRate")) {
        const json& rate = j["bitErrorRate"];
        if (!rate.is_number() || rate.get<double>() < 0.0 || rate.get<double>() > 1.0)
            r.Fail("\"faults.bitErrorRate\" must be a number from 0 to 1");
        else
            f.bitErrorRate = rate.get<double>();
    }
    if (j.contains("bitErrorSeed")) {
        const json& seed = j["bitErrorSeed"];
        if (!seed.is_number_unsigned() &&
            !(seed.is_number_integer() && seed.get<std::int64_t>() >= 0))
            r.Fail("\"faults.bitErrorSeed\" must be a whole number of 0 or more");
        else
            f.bitErrorSeed = seed.get<std::uint64_t>();
    }
}

} // namespace

std::string FormatSimState(const SimBoardState& s) {
    // Field order kept: the short fields first, the long memories last.
    nlohmann::ordered_json j;
    j["family"] = s.family == Family::Avr ? "avr" : "8051";
    if (s.family == Family::Avr) {
        j["signature"] = ToHex(s.signature.data(), s.signature.size());
        j["eesave"] = s.eesave;
    }
    std::ostringstream address;
    address << std::uppercase << std::hex << s.address;
    j["address"] = address.str();
    j["busCycleNs"] = s.busCycleNs;
    j["floatingStatus"] = ToHex(&s.floatingStatus, 1);
    j["pace"] = s.pace;
    j["codeCutShort"] = s.codeCutShort;
    j["lockBits"] = ToHex(&s.lockBits, 1);
    nlohmann::ordered_json faults;
    faults["noBoard"] = s.faults.noBoard;
    faults["noPower"] = s.faults.noPower;
    if (s.faults.stuckAddress >= 0)
        faults["stuckBit"] = {{"address", s.faults.stuckAddress},
                              {"bit", s.faults.stuckBit},
                              {"level", s.faults.stuckLevel}};
    else
        faults["stuckBit"] = nullptr;
    faults["answerFromEnable"] = s.faults.answerFromEnable;
    faults["bitErrorRate"] = s.faults.bitErrorRate;
    faults["bitErrorSeed"] = s.faults.bitErrorSeed;
    j["faults"] = faults;
    j["factorySettings"] = ToHex(s.factorySettings.data(), s.factorySettings.size());
    j["data"] = ToHex(s.data.data(), s.data.size());
    j["code"] = ToHex(s.code.data(), s.code.size());
    return j.dump(2) + "\n";
}

bool ParseSimState(std::string_view text, std::string_view source, SimBoardState& state,
                   std::string& error) {
    Reader r(source);
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded()) {
        error = std::string(source) + ": not a valid JSON document";
        return false;
    }
    if (!j.is_object()) {
        error = std::string(source) + ": expected a JSON object with the board's fields";
        return false;
    }
    r.OnlyKeys(j,
               {"family", "signature", "eesave", "address", "busCycleNs", "floatingStatus", "pace",
                "codeCutShort", "lockBits", "faults", "factorySettings", "data", "code"},
               "");
    for (const char* required : {"family", "data", "code"})
        if (!j.contains(required))
            r.Fail(std::string("missing field \"") + required + "\"");
    if (!r.ok()) {
        error = r.error();
        return false;
    }

    SimBoardState s;
    const json& family = j["family"];
    if (family == "avr")
        s.family = Family::Avr;
    else if (family == "8051")
        s.family = Family::Mcs51;
    else
        r.Fail("\"family\" must be \"avr\" or \"8051\"");

    if (r.ok() && s.family == Family::Avr) {
        std::vector<std::uint8_t> signature;
        if (!j.contains("signature"))
            r.Fail("missing field \"signature\" (an AVR board needs one, e.g. \"1E9307\")");
        else if (r.Hex(j["signature"], "signature", {3}, signature))
            std::copy(signature.begin(), signature.end(), s.signature.begin());
    }
    if (r.ok())
        r.Hex(j["data"], "data", {SimDataSize(s.family)}, s.data);
    if (r.ok())
        r.Hex(j["code"], "code", {SimCodeSize(s.family)}, s.code);
    if (r.ok() && j.contains("factorySettings"))
        r.Hex(j["factorySettings"], "factorySettings", {0, SimSettingsBytes(s.family)},
              s.factorySettings);
    // Like the signature, an AVR matter: an 8051-family file may carry it, but
    // it means nothing there (and is not written back).
    if (r.ok() && s.family == Family::Avr && j.contains("eesave"))
        r.Bool(j["eesave"], "eesave", s.eesave);
    if (r.ok() && j.contains("codeCutShort"))
        r.Bool(j["codeCutShort"], "codeCutShort", s.codeCutShort);
    if (r.ok() && j.contains("pace")) {
        const json& pace = j["pace"];
        if (!pace.is_number() || !SimPaceAllowed(pace.get<double>()))
            r.Fail("\"pace\" must be 0 (unpaced) or a number from 0.001 to 1000");
        else
            s.pace = pace.get<double>();
    }
    unsigned number = 0;
    if (r.ok() && j.contains("address") && r.HexNumber(j["address"], "address", 1, 0xFFFF, number))
        s.address = static_cast<std::uint16_t>(number);
    if (r.ok() && j.contains("floatingStatus") &&
        r.HexNumber(j["floatingStatus"], "floatingStatus", 0, 0xFF, number))
        s.floatingStatus = static_cast<std::uint8_t>(number);
    if (r.ok() && j.contains("lockBits") && r.HexNumber(j["lockBits"], "lockBits", 0, 0xFF, number))
        s.lockBits = static_cast<std::uint8_t>(number);
    std::int64_t cycle = 0;
    if (r.ok() && j.contains("busCycleNs") &&
        r.Integer(j["busCycleNs"], "busCycleNs", 1, 1000000000, cycle))
        s.busCycleNs = static_cast<std::uint32_t>(cycle);
    if (r.ok() && j.contains("faults"))
        ReadFaults(r, j["faults"], s.faults);

    if (!r.ok()) {
        error = r.error();
        return false;
    }
    state = std::move(s);
    return true;
}

} // namespace kelvo
