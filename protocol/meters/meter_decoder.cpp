#include "meter_decoder.h"

#include "es519xx_decoder.h"
#include "fluke_qm_decoder.h"
#include "fs9721_decoder.h"
#include "fs9922_decoder.h"
#include "metex14_decoder.h"
#include "unit_abcd_decoder.h"

#include <algorithm>

namespace meterlink {

void MeterDecoder::setDecimalSeparator(std::string_view sep) {
    sepLen_ = std::min(sep.size(), sep_.size());
    std::copy(sep.begin(), sep.begin() + static_cast<std::ptrdiff_t>(sepLen_), sep_.begin());
}

std::unique_ptr<MeterDecoder> makeDecoder(const MeterModel& model, std::string_view decimalSep) {
    switch (model.protocol) {
    case MeterProtocol::Fs9922: return std::make_unique<Fs9922Decoder>(model, decimalSep, model.fullCount);
    case MeterProtocol::Fs9721: return std::make_unique<Fs9721Decoder>(model, decimalSep);
    case MeterProtocol::Metex14: return std::make_unique<Metex14Decoder>(model, decimalSep);
    case MeterProtocol::Es51922: return std::make_unique<Es519xxDecoder>(model, decimalSep, kEs51922Layout);
    case MeterProtocol::Es51986: return std::make_unique<Es519xxDecoder>(model, decimalSep, kEs51986Layout);
    case MeterProtocol::UniTAbCd: return std::make_unique<UnitAbCdDecoder>(model, decimalSep);
    case MeterProtocol::Bm86x:
        break;
    case MeterProtocol::FlukeQm: return std::make_unique<FlukeQmDecoder>(model, decimalSep);
    }
    return nullptr;
}

}  // namespace meterlink
