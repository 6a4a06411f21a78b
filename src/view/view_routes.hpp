// view_routes.hpp - the `view` server's endpoints: the page, and the data
// it reads for a view (tiles, profiles, hover, search, exports).
#pragma once

#include <httplib.h>

#include "view/view_model.hpp"
#include "view/view_settings.hpp"

namespace binscope {

// Routes every endpoint of `server` to `model`; both must outlive the
// server's run.
void add_view_routes(httplib::Server& server, ViewModel& model, const ViewSettings& settings);

}  // namespace binscope
