// Any body of a sign-in form.
#include "FuzzHarness.h"
#include "HttpService.h"
#include "TextRules.h"

#include <string>

FUZZ_TARGET(std::string, body) {
    const std::string email = TextRules::normalizedEmail(HttpService::formField(body, "email"));
    HttpService::formField(body, "password");
    // A normalised address is a fixed point: the store finds the same account again.
    if (!email.empty())
        FUZZ_CHECK(TextRules::normalizedEmail(email) == email);
}
