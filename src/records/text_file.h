// Text files shared with the Windows program: Windows-1252, CR LF, TAB fields.
#pragma once
