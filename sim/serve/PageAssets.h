#pragma once

// The web view's page, script and style sheet (sim/serve/page/), built in.
// "__TOKEN__" in the page stands for the server's token.
namespace serve::assets {
extern const char* const page;
extern const char* const script;
extern const char* const style;
}  // namespace serve::assets
