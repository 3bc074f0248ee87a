// Giving the vehicles of several customers to one of them.
#include "pages/dlg_merge_customer.h"
#include "tests/pages/page_list_fixture.h"

namespace pagetest {
namespace {

}  // namespace
}  // namespace pagetest
