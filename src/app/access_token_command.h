// The access-token command (按钮5): exchanges the API Key and Secret Key for
// an OAuth access token of the OCR service and keeps it in memory.
#pragma once

#include "app/control_operations.h"
#include "app/endpoints.h"
#include "app/process_state.h"
#include "app/scoring_dispatcher.h"

namespace qa {

// Asks the token endpoint for a token for state.apiKey and state.secretKey;
// the token of the reply, or empty when there is none (no reply, not JSON,
// an error reply).
Text FetchAccessToken(const ProcessState& state, const Endpoints& endpoints);

// Takes the keys from 编辑框1 and 编辑框2, fetches a token and tells the user
// the outcome. With a key box empty it asks for the keys and opens the product
// page instead. A failed fetch keeps a token that worked before.
//
// Once a token has come, searches are to be expected: `warm` (may be empty)
// is asked for a connection to the OCR host and one to the search host per
// result page, so that the first search finds them open.
void AccessTokenCommand(ControlOperations& controls, ProcessState& state,
                        const Endpoints& endpoints, const ConnectionWarmer& warm = {});

}  // namespace qa
