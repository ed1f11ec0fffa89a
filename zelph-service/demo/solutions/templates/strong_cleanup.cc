{
  "app": "zelph-project-configuration",
  "id": "d3e0ee00-0000-4000-8000-000000000001",
  "caption": "Strong cleanup",
  "description": "The image cleanup with a wider blur and a lower level, for noisier scans.",
  "chain_id": "d3e00000-0000-4000-8000-000000000001",
  "data": {
    "blur": {
      "size": 7
    },
    "threshold": {
      "level": 96
    }
  }
}
