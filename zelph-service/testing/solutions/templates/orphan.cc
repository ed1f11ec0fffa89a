{
  "app": "zelph-project-configuration",
  "id": "7e3a0000-0000-4000-8000-000000000003",
  "caption": "Orphan",
  "chain_id": "5a110000-0000-4000-8000-0000000000ff"
}
