// Any access token: its payload's "email" claim is read without checking the signature.
#include "Auth.h"
#include "FuzzHarness.h"

FUZZ_TARGET(QByteArray, input) {
    orvanta::Auth::emailFromJWT(QString::fromUtf8(input));
}
