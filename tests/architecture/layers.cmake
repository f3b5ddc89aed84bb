# The layers of src/: which folders each folder may include from. A folder
# only ever includes from layers below it:
#   common -> crypto -> wire -> {settings, store, peer_link}
#          -> {pairing, sync, mcp, ui, search, export} -> {drafting, mail} -> {phone, app}
# A new subsystem gets a line here, below everything it uses.
set(QM_LAYERS
  "common:"
  "crypto: common"
  "wire: common crypto"
  "settings: common"
  "store: common"
  "peer_link: common"
  "pairing: common crypto wire settings peer_link"
  "sync: common crypto wire settings store"
  "mcp: common settings store"
  "ui: common settings store"
  "search: common settings store"
  "export: common settings store"
  "drafting: common crypto wire settings store sync"
  "mail: common settings store export"
  "phone: common crypto wire settings peer_link pairing sync"
  "app: common crypto wire settings store peer_link pairing sync mcp drafting ui search export mail"
  "desktop: common settings store pairing mcp ui search export"
)
