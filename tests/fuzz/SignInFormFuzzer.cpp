// Any body of a sign-in form.
#include "FuzzCheck.h"
#include "HttpService.h"
#include "TextRules.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string body(reinterpret_cast<const char *>(data), size);
    const std::string email = TextRules::normalizedEmail(HttpService::formField(body, "email"));
    HttpService::formField(body, "password");
    // A normalised address is a fixed point: the store finds the same account again.
    if (!email.empty())
        FUZZ_CHECK(TextRules::normalizedEmail(email) == email);
    return 0;
}
