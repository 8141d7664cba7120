// Customers and suppliers into CSF, with the postcodes they bring into ZIPCODE.
#pragma once
#include <cstdint>
#include <string>

namespace convert {

// The ZIPCODE key "<country>-<postcode>" of the open ZIPCODE table in work
// area `zipArea`; appends the postcode with `city` and `language` when the
// table does not hold it yet. An existing row is never changed.
std::string EnsureZipCode(const std::string& postcode, const std::string& country, int16_t zipArea,
                          const std::string& city, const std::string& language);

}  // namespace convert
