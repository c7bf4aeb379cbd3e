// How a run looks things up. Indexed reads each registry list and the database's records once
// per run and answers every question from memory; Literal walks the registry and the database
// again for each question. Both give the same answers in the same order; Literal stays as the
// reference the tests hold the indexed lookups to.
#pragma once

namespace sv {

enum class SearchMode { Indexed, Literal };

}  // namespace sv
