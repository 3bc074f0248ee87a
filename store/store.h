#pragma once

// Everything the task framework calls: records, the connection and every store function.
#include "store/bulk_import.h"
#include "store/customer_store.h"
#include "store/data_type_store.h"
#include "store/db_connection.h"
#include "store/list_queries.h"
#include "store/records.h"
