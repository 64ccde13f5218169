#pragma once

namespace gl {
class GLContext;
}

// Debugging aids on GL contexts.
namespace GLContextAdditions {

// Logs the context's alpha test and the state of each capability of the old
// fixed-function set, one line each; capabilities a core context no longer
// has read 0.
void postDetails(gl::GLContext& context);

}  // namespace GLContextAdditions
