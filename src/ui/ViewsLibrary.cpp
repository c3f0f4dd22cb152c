// The entry point of liborvanta-views.so, which the application looks up when it opens it.

#include "QmlViews.h"

extern "C" Q_DECL_EXPORT orvanta::ViewFactory *
orvanta_make_view_factory(const QVariantMap &contextProperties) {
    return orvanta::QmlViews::make(contextProperties);
}
